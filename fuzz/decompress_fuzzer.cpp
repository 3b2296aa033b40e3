// Any bytes as a compressed record: GetUncompSize and DeCompress stay inside the input and the
// reported size, both through the decoded-ahead result and when decoding afresh.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "zun2/zun2.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1 << 20)) return 0;
  // An exact-size copy, so that any read past the record is caught.
  std::vector<uint8_t> record(data, data + size);
  const int32_t length = GetUncompSize(record.data(), static_cast<int32_t>(record.size()));
  if (length < 0) return 0;
  if (length > static_cast<int32_t>(size) * 5) __builtin_trap();
  std::vector<uint8_t> ahead(static_cast<size_t>(length));
  if (DeCompress(ahead.data(), record.data(), length) != length) __builtin_trap();
  // The same bytes at another address are decoded afresh and must agree.
  std::vector<uint8_t> copy(record);
  std::vector<uint8_t> fresh(static_cast<size_t>(length));
  if (DeCompress(fresh.data(), copy.data(), length) != length) __builtin_trap();
  if (ahead != fresh) __builtin_trap();
  return 0;
}
