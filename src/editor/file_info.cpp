#include "editor/file_info.h"

#include <clocale>
#include <filesystem>

#include "glue/file_system.h"
#include "glue/paths.h"

namespace zun {

std::string FormatDateWithLocale(std::time_t time, bool withTime) {
  std::tm local{};
  localtime_r(&time, &local);
  char text[128];
  const size_t n = std::strftime(text, sizeof text, withTime ? "%x %X" : "%x", &local);
  return std::string(text, n);
}

std::string GroupThousands(long long value) {
  const lconv* conventions = std::localeconv();
  std::string separator =
      conventions != nullptr && conventions->thousands_sep != nullptr ? conventions->thousands_sep : "";
  if (separator.empty()) separator = ",";
  std::string digits = std::to_string(value < 0 ? -value : value);
  std::string grouped;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) grouped += separator;
    grouped += digits[i];
  }
  return value < 0 ? "-" + grouped : grouped;
}

std::string FileInfoText(const std::string& path, bool palmSide, const TargetChecks& checks, UserManager& users,
                         const DateFormatter& formatDate) {
  std::string where = path;
  if (palmSide && !checks.CustomChecked()) {
    if (checks.CheckedCount() != 1) return kInfoDistribute;
    where = UserBackupDir(users, checks.FirstChecked()) + PathFileName(path);
  }
  if (PathFileName(where).empty()) return kInfoNoName;
  switch (FileExists(where)) {
    case FileState::Exists: {
      std::error_code error;
      if (std::filesystem::is_directory(where, error)) return kInfoFolder;
      const auto time = ModificationTime(where);
      const auto size = FileLength(where);
      if (!time || !size) return kInfoInvalid;
      std::tm local{};
      localtime_r(&*time, &local);
      const bool midnight = local.tm_hour == 0 && local.tm_min == 0 && local.tm_sec == 0;
      return formatDate(*time, !midnight) + "\r\n" + GroupThousands(*size) + " Byte";
    }
    case FileState::Unreadable:
      return kInfoInvalid;
    case FileState::NotFound:
      break;
  }
  return kInfoNewFile;
}

}  // namespace zun
