// The four functions of libzun2, resolved by name at start-up.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zun {

struct DocCodec {
  int32_t (*Compress)(uint8_t* destination, const uint8_t* source, int32_t sourceLength) = nullptr;
  int32_t (*GetUncompSize)(const uint8_t* compressed, int32_t length) = nullptr;
  int32_t (*DeCompress)(uint8_t* destination, const uint8_t* compressed, int32_t uncompressedLength) = nullptr;
  uint32_t (*CalcPalmTime)() = nullptr;
};

inline constexpr const char* kCodecLibraryName = "libzun2.so";
inline constexpr const char* kCodecMissingMessage = "Fatal Error: libzun2.so not found";

// Where the library is looked for, in order: the executable's folder (the build tree), the
// install's private library folder (<libdir>/zun2, first as seen from the executable's folder,
// then where it was configured). Never the current or the data folder: whoever can write a file
// there could have the program run their code.
std::vector<std::string> CodecSearchFolders();

// Loads the library from the first folder that has it; nothing when none has all four functions.
// The library stays loaded for the rest of the process.
std::optional<DocCodec> LoadDocCodec(const std::vector<std::string>& folders);

}  // namespace zun
