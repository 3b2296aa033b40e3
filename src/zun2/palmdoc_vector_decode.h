// A PalmDOC decoder that finds the pair and run tokens of 32 input bytes at once with SSSE3 and
// expands the single-byte tokens between them without a branch per token.
#pragma once
#include <cstdint>

namespace zun2 {

// Readable bytes the vector decoder needs behind the input, and writable bytes behind the output.
inline constexpr int64_t kVectorSlack = 32;

// Whether this processor can run DecodeVectorPrefix.
bool VectorDecodeAvailable();

// Decodes the tokens of `in` (length bytes, then kVectorSlack readable bytes) while 32 of them
// are left, into `out` (room for every byte plus kVectorSlack). Leaves `i` and `o` where the
// caller goes on token by token; returns false for a malformed record.
bool DecodeVectorPrefix(const uint8_t* in, int64_t length, uint8_t* out, int64_t& i, int64_t& o);

}  // namespace zun2
