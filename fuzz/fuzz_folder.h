// A folder of the fuzzer's own for the files a conversion reads and writes.
#pragma once
#include <cstdio>
#include <cstdlib>
#include <string>

namespace zunfuzz {

// Made once per process; in memory where possible, since the conversions flush what they write
// and a disk would be the bottleneck. The corpus replay names its own in ZUN2_FUZZ_FOLDER.
inline const std::string& Folder() {
  static const std::string folder = []() -> std::string {
    if (const char* given = std::getenv("ZUN2_FUZZ_FOLDER")) return std::string(given) + "/";
    char pattern[] = "/dev/shm/zun2-fuzz-XXXXXX";
    const char* made = mkdtemp(pattern);
    if (made == nullptr) {
      std::snprintf(pattern, sizeof pattern, "/tmp/zun2-fuzz-XXXXXX");
      made = mkdtemp(pattern);
    }
    if (made == nullptr) std::abort();
    return std::string(made) + "/";
  }();
  return folder;
}

}  // namespace zunfuzz
