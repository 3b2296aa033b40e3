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

}  // namespace

int main(int argc, char** argv) {
  const std::string corpus = argc > 1 ? argv[1] : "bench/corpus";
  const int runs = argc > 2 ? std::atoi(argv[2]) : 11;
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / "zun2-charset-bench";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  const std::string dir = folder.string() + "/";

  std::vector<Sample> samples;
  for (const char* name : {"bible", "fortunes", "licenses"}) {
    const Bytes text = ReadFile(corpus + "/" + name + ".txt");
    if (text.empty()) {
      std::fprintf(stderr, "no corpus in %s: run bench/corpus.sh\n", corpus.c_str());
      return 1;
    }
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

  const zun::DocCodec codec{&Compress, &GetUncompSize, &DeCompress, &CalcPalmTime};
  zun::NoUsers users;
  zun::ScriptedHost host;
  zun::RunFlags flags;
  bool failed = false;
  std::printf(
      "| text | bytes | set | options | encode without s | encode with s | cost | decode without s "
      "| decode with s | cost (of encode) |\n|---|---:|---|---|---:|---:|---:|---:|---:|---:|\n");
  for (const Sample& sample : samples) {
    // Without: the text already in the handheld's set, the option off; the same bytes reach the
    // filters and the compressor either way.
    const zun::Charset& set = *zun::Charset::Find(sample.set);
    zun::HandheldEncoder encoder(set);
    Bytes handheld;
    encoder.Convert(sample.text, handheld);
    encoder.Finish();
    if (!encoder.Valid()) handheld = sample.text;
    const std::string utf8Text = dir + "utf8.txt";
    const std::string handheldText = dir + "handheld.txt";
    const std::string document = dir + "text.pdb";
    WriteFile(utf8Text, sample.text);
    WriteFile(handheldText, handheld);
    zun::ConversionEnv env{codec, users, host, flags, dir};
    env.handheldCharset = sample.set;
    for (const char* options : {"11", "11   1"}) {
      auto run = [&](bool toDocument, bool on) {
        zun::TaskRecord task = zun::DefaultSettingsRecord();
        task.Options = options;
        task.Options.SetAt(zun::kOptUtf8Text, on ? '1' : '0');
        // Each decode finds the text it wrote last time (as a both-ways task finds it).
        task.PcFile = toDocument ? (on ? utf8Text : handheldText) : dir + (on ? "back-utf8.txt" : "back.txt");
        task.PalmFile = document;
        if (toDocument) {
          zun::ConvertTextToDocument(task, env);
        } else {
          zun::ConvertDocumentToText(task, env);
        }
        failed = failed || task.Status.Trimmed() != zun::status::kOk;
      };
      // The document of the last run is the one decoded.
      const auto [encodeWithout, encodeWith] = MedianSeconds(
          runs, [&] { run(true, false); }, [&] { run(true, true); });
      const auto [decodeWithout, decodeWith] = MedianSeconds(
          runs, [&] { run(false, false); }, [&] { run(false, true); });
      std::printf("| %s | %zu | %s | %s | %.4f | %.4f | %+.1f%% | %.4f | %.4f | %+.1f%% |\n", sample.name.c_str(),
                  sample.text.size(), sample.set.c_str(), options[5] == '1' ? "Raw!" : "filters", encodeWithout,
                  encodeWith, 100 * (encodeWith - encodeWithout) / encodeWithout, decodeWithout, decodeWith,
                  100 * (decodeWith - decodeWithout) / encodeWithout);
    }
  }
  std::filesystem::remove_all(folder);
  if (failed) std::fprintf(stderr, "a conversion failed\n");
  return failed ? 1 : 0;
}
