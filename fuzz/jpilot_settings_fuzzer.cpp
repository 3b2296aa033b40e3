// Any bytes as jpilot.rc: the reader takes what it knows and never fails on the rest.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "hotsync/jpilot_users.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > zun::kMaxSettingsFile) return 0;
  const zun::JPilotSettings settings =
      zun::ParseJPilotSettings(std::string_view(reinterpret_cast<const char*>(data), size));
  if (settings.userId < 0 || settings.user.size() > size) __builtin_trap();
  return 0;
}
