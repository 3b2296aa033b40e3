#include <ctime>

#include "zun2/zun2.h"

namespace {
// Seconds from 1904-01-01 to 1970-01-01.
constexpr int64_t kPalmEpochOffset = 2082844800;
}  // namespace

uint32_t CalcPalmTime(void) {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  // The handheld keeps local wall-clock time.
  return static_cast<uint32_t>(static_cast<int64_t>(now) + local.tm_gmtoff + kPalmEpochOffset);
}
