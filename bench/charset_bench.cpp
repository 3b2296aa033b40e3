// What the option "UTF-8 Text" costs, in process, on the corpus (bench/corpus.sh) and on texts made
// from it whose letters are all outside ASCII: a UTF-8 text converted with the option against the
// same text already in the handheld's set converted without it (the same bytes reach the filters
// and the compressor), as a share of that encode time; decoding likewise. Times are processor
// time (user and system), the median of the runs.
// usage: charset_bench [corpus folder] [runs]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "convert/charset.h"
#include "convert/document_to_text.h"
#include "convert/status_texts.h"
#include "convert/text_to_document.h"
#include "glue/codec_loader.h"
#include "hotsync/user_manager.h"
#include "support/scripted_host.h"
#include "zun2/zun2.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}
void WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Every ASCII letter of the text replaced by a character of `alphabet` (UTF-8, one per letter).
Bytes Transliterated(const Bytes& text, const std::vector<uint32_t>& alphabet) {
  Bytes out;
  out.reserve(text.size() * 3);
  for (uint8_t c : text) {
    const bool letter = (c | 0x20) >= 'a' && (c | 0x20) <= 'z';
    if (letter) {
      zun::AppendUtf8(alphabet[static_cast<size_t>((c | 0x20) - 'a') % alphabet.size()], out);
    } else {
      out.push_back(c);
    }
  }
  return out;
}

// The process's processor time (user and system) in seconds: on a shared machine, wall time
// mostly measures the other processes.
double ProcessorSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Median times of `without` and `with`, run in turns so that a busy machine slows both alike.
std::pair<double, double> MedianSeconds(int runs, const std::function<void()>& without,
                                        const std::function<void()>& with) {
  std::vector<double> times[2];
  for (int i = 0; i < runs; ++i) {
    for (int k = 0; k < 2; ++k) {
      const double start = ProcessorSeconds();
      (k == 0 ? without : with)();
      times[k].push_back(ProcessorSeconds() - start);
    }
  }
  for (auto& t : times) std::sort(t.begin(), t.end());
  return {times[0][times[0].size() / 2], times[1][times[1].size() / 2]};
}

struct Sample {
  std::string name;
  std::string set;
  Bytes text;
};

// The corpus's texts, and texts made from them with accents, symbols and letters outside ASCII.
// Empty when the corpus is missing.
std::vector<Sample> MakeSamples(const std::string& corpus) {
  std::vector<Sample> samples;
  for (const char* name : {"bible", "fortunes", "licenses"}) {
    const Bytes text = ReadFile(corpus + "/" + name + ".txt");
    if (text.empty()) return {};
    samples.push_back({name, "WINDOWS-1252", text});
  }
  // The fortunes (not UTF-8 as they are) read as Windows-1252: UTF-8 with accents and symbols.
  const zun::Charset& western = *zun::Charset::Find("WINDOWS-1252");
  Bytes fortunesUtf8;
  zun::HandheldDecoder decoder(western);
  decoder.Convert(samples[1].text, fortunesUtf8);
  decoder.Finish(fortunesUtf8);
  samples.push_back({"fortunes as UTF-8", "WINDOWS-1252", fortunesUtf8});
  std::vector<uint32_t> cyrillic;
  for (uint32_t c = 0x430; c < 0x44A; ++c) cyrillic.push_back(c);
  samples.push_back({"bible in Cyrillic", "WINDOWS-1251", Transliterated(samples[0].text, cyrillic)});
  std::vector<uint32_t> kana;
  for (uint32_t c = 0x3042; c < 0x3042 + 26 * 2; c += 2) kana.push_back(c);
  samples.push_back({"bible in kana", "CP932", Transliterated(samples[0].text, kana)});
  return samples;
}

// The sample in the handheld's set; as it is when the set cannot hold it.
Bytes InHandheldSet(const Sample& sample) {
  zun::HandheldEncoder encoder(*zun::Charset::Find(sample.set));
  Bytes handheld;
  encoder.Convert(sample.text, handheld);
  encoder.Finish();
  return encoder.Valid() ? handheld : sample.text;
}

// What the conversions need besides the task.
struct Harness {
  std::string dir;  // the bench's temporary folder, with trailing separator
  int runs = 0;
  zun::DocCodec codec{&Compress, &GetUncompSize, &DeCompress, &CalcPalmTime};
  zun::NoUsers users;
  zun::ScriptedHost host;
  zun::RunFlags flags;
};

// The files of one sample's conversions.
struct SampleFiles {
  std::string utf8Text;      // the sample as it is: converted with the option
  std::string handheldText;  // the sample in the handheld's set: converted without it
  std::string document;
};

// One conversion to the document or back, with the option "UTF-8 Text" on or off. False when it
// failed.
bool Convert(zun::ConversionEnv& env, const SampleFiles& files, const char* options, bool toDocument, bool on) {
  zun::TaskRecord task = zun::DefaultSettingsRecord();
  task.Options = options;
  task.Options.SetAt(zun::kOptUtf8Text, on ? '1' : '0');
  // Each decode finds the text it wrote last time (as a both-ways task finds it).
  task.PcFile =
      toDocument ? (on ? files.utf8Text : files.handheldText) : env.programDir + (on ? "back-utf8.txt" : "back.txt");
  task.PalmFile = files.document;
  if (toDocument) {
    zun::ConvertTextToDocument(task, env);
  } else {
    zun::ConvertDocumentToText(task, env);
  }
  return task.Status.Trimmed() == zun::status::kOk;
}

// Prints the row of one sample with `options`: encode and decode times without and with the
// option. False when a conversion failed.
bool MeasureRow(const Harness& harness, zun::ConversionEnv& env, const Sample& sample, const SampleFiles& files,
                const char* options) {
  bool ok = true;
  const auto run = [&](bool toDocument, bool on) { ok = Convert(env, files, options, toDocument, on) && ok; };
  // The document of the last run is the one decoded.
  const auto [encodeWithout, encodeWith] = MedianSeconds(
      harness.runs, [&] { run(true, false); }, [&] { run(true, true); });
  const auto [decodeWithout, decodeWith] = MedianSeconds(
      harness.runs, [&] { run(false, false); }, [&] { run(false, true); });
  std::printf("| %s | %zu | %s | %s | %.4f | %.4f | %+.1f%% | %.4f | %.4f | %+.1f%% |\n", sample.name.c_str(),
              sample.text.size(), sample.set.c_str(), options[5] == '1' ? "Raw!" : "filters", encodeWithout, encodeWith,
              100 * (encodeWith - encodeWithout) / encodeWithout, decodeWithout, decodeWith,
              100 * (decodeWith - decodeWithout) / encodeWithout);
  return ok;
}

// Prints the sample's rows, with the filters and with "Raw!". False when a conversion failed.
bool MeasureSample(Harness& harness, const Sample& sample) {
  // Without: the text already in the handheld's set, the option off; the same bytes reach the
  // filters and the compressor either way.
  const SampleFiles files{harness.dir + "utf8.txt", harness.dir + "handheld.txt", harness.dir + "text.pdb"};
  WriteFile(files.utf8Text, sample.text);
  WriteFile(files.handheldText, InHandheldSet(sample));
  zun::ConversionEnv env{harness.codec, harness.users, harness.host, harness.flags, harness.dir};
  env.handheldCharset = sample.set;
  bool ok = true;
  for (const char* options : {"11", "11   1"}) ok = MeasureRow(harness, env, sample, files, options) && ok;
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string corpus = argc > 1 ? argv[1] : "bench/corpus";
  const std::vector<Sample> samples = MakeSamples(corpus);
  if (samples.empty()) {
    std::fprintf(stderr, "no corpus in %s: run bench/corpus.sh\n", corpus.c_str());
    return 1;
  }
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / "zun2-charset-bench";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  Harness harness;
  harness.dir = folder.string() + "/";
  harness.runs = argc > 2 ? std::atoi(argv[2]) : 11;
  bool failed = false;
  std::printf(
      "| text | bytes | set | options | encode without s | encode with s | cost | decode without s "
      "| decode with s | cost (of encode) |\n|---|---:|---|---|---:|---:|---:|---:|---:|---:|\n");
  for (const Sample& sample : samples) failed = !MeasureSample(harness, sample) || failed;
  std::filesystem::remove_all(folder);
  if (failed) std::fprintf(stderr, "a conversion failed\n");
  return failed ? 1 : 0;
}
