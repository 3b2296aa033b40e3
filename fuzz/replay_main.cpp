// The seed corpus as an ordinary test: a main for a fuzz target's entry point that feeds it every
// file of the folders named on the command line, once each, without libFuzzer. A target that
// finds a fault traps, and the test fails.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

std::vector<std::filesystem::path> CorpusFiles(int argc, char** argv) {
  std::vector<std::filesystem::path> files;
  for (int i = 1; i < argc; ++i) {
    for (const auto& entry : std::filesystem::directory_iterator(argv[i])) {
      if (entry.is_regular_file()) files.push_back(entry.path());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

// The folder the targets write into: a private one below the temporary folder, removed at the end.
std::filesystem::path MakeWorkFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "zun2-replay-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) return {};
  ::setenv("ZUN2_FUZZ_FOLDER", pattern.c_str(), 1);
  return pattern;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::filesystem::path> files = CorpusFiles(argc, argv);
  if (files.empty()) {
    std::fprintf(stderr, "usage: %s CORPUS-FOLDER...  (no input found)\n", argv[0]);
    return 2;
  }
  const std::filesystem::path work = MakeWorkFolder();
  if (work.empty()) {
    std::perror("no temporary folder");
    return 2;
  }
  for (const auto& file : files) {
    std::ifstream in(file, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::printf("%s: %zu bytes\n", file.filename().c_str(), bytes.size());
    std::fflush(stdout);
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  }
  std::filesystem::remove_all(work);
  return 0;
}
