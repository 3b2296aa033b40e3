// libzun2: PalmDOC record compression and the current Palm time, with C linkage.
#pragma once
// A C header too: <stdint.h>, not <cstdint>.
// NOLINTNEXTLINE(modernize-deprecated-headers)
#include <stdint.h>

#if defined(__GNUC__)
#define ZUN2_EXPORT __attribute__((visibility("default")))
#else
#define ZUN2_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

// The most bytes Compress writes for `sourceLength` bytes: a text in which nothing repeats and
// every byte needs quoting (0x01-0x08, 0x80-0xFF) takes a run of 9 bytes for every 8.
static inline int32_t CompressBound(int32_t sourceLength) { return sourceLength + (sourceLength + 7) / 8; }

// Compresses one record of `sourceLength` bytes into `destination`, which must hold at least
// CompressBound(sourceLength) bytes. Returns the number of bytes written.
ZUN2_EXPORT int32_t Compress(uint8_t* destination, const uint8_t* source, int32_t sourceLength);

// Length of the record once decompressed, or -1 when the bytes are not a valid compressed record
// (truncated pair or literal run, distance 0 or before the record's start).
ZUN2_EXPORT int32_t GetUncompSize(const uint8_t* compressed, int32_t length);

// Decompresses into `destination` (exactly `uncompressedLength` bytes). Given the size that
// GetUncompSize reported for the same bytes, it reads no byte past them. Returns the number of
// bytes produced, or -1 when the bytes are malformed (the destination is then partly filled).
ZUN2_EXPORT int32_t DeCompress(uint8_t* destination, const uint8_t* compressed, int32_t uncompressedLength);

// Seconds since 1904-01-01 00:00 local time.
ZUN2_EXPORT uint32_t CalcPalmTime(void);

#ifdef __cplusplus
}
#endif
