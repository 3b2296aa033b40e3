// The information box beside a file box: date and size, or a hint.
#pragma once
#include <cstddef>
#include <ctime>
#include <functional>
#include <string>

#include "hotsync/user_manager.h"

namespace zun {

inline constexpr const char* kInfoDistribute = "Distribute Mode";
inline constexpr const char* kInfoNoName = "Browse or Enter Filename";
inline constexpr const char* kInfoNewFile = "New File";
inline constexpr const char* kInfoInvalid = "no valid Filename or Path";
inline constexpr const char* kInfoFolder = "Folder, not a file:\r\nenter a file name";
inline constexpr const char* kInfoTooLong = "Too long, not stored:\r\nat most 512 bytes";

// The room a path has in the task record (PcFile, PalmFile).
inline constexpr size_t kMaxPathBytes = 512;

// Formats a modification time in the locale's general form; `withTime` is false at midnight.
using DateFormatter = std::function<std::string(std::time_t time, bool withTime)>;
// The C library's locale form ("%x %X").
std::string FormatDateWithLocale(std::time_t time, bool withTime);
// 12345 as "12,345" with the locale's thousands separator ("," when the locale has none).
std::string GroupThousands(long long value);

// For the Palm side the checked install targets decide where the file is looked for.
std::string FileInfoText(const std::string& path, bool palmSide, const TargetChecks& checks, UserManager& users,
                         const DateFormatter& formatDate);

}  // namespace zun
