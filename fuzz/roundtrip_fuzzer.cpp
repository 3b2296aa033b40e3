// Any text up to a record compresses within its bound and decompresses to the same bytes.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "zun2/zun2.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) size = 4096;
  std::vector<uint8_t> text(data, data + size);
  // Exactly what the conversion allocates, so the sanitizer sees any byte written past it.
  std::vector<uint8_t> packed(static_cast<size_t>(CompressBound(static_cast<int32_t>(size))));
  const int32_t n = Compress(packed.data(), text.data(), static_cast<int32_t>(size));
  if (n < 0 || n > CompressBound(static_cast<int32_t>(size))) __builtin_trap();
  packed.resize(static_cast<size_t>(n));
  const int32_t length = GetUncompSize(packed.data(), n);
  if (length != static_cast<int32_t>(size)) __builtin_trap();
  std::vector<uint8_t> back(size);
  if (DeCompress(back.data(), packed.data(), length) != length || back != text) __builtin_trap();
  return 0;
}
