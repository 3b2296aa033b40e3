#include "hotsync/user_manager.h"

#include <algorithm>

#include "glue/paths.h"

namespace zun {

int32_t TargetChecks::CheckedCount() const {
  return static_cast<int32_t>(std::count(checked.begin(), checked.end(), true));
}

int32_t TargetChecks::FirstChecked() const {
  const auto it = std::find(checked.begin(), checked.end(), true);
  return it == checked.end() ? -1 : static_cast<int32_t>(it - checked.begin());
}

std::vector<std::string> FillUserList(UserManager& users) {
  std::vector<std::string> entries;
  const int32_t count = users.UserCount();
  for (int32_t i = 0; i < count; ++i) {
    const int32_t id = users.UserIdAt(i);
    if (id == 0) continue;
    users.SelectUser(id);
    std::string name = users.UserName();
    if (users.IsProfile()) name += kProfileSuffix;
    entries.push_back(std::move(name));
  }
  return entries;
}

int32_t EntryUserId(UserManager& users, int32_t entry) {
  const int32_t count = users.UserCount();
  for (int32_t i = 0, listed = 0; i < count; ++i) {
    const int32_t id = users.UserIdAt(i);
    if (id == 0) continue;
    if (listed++ == entry) return id;
  }
  return 0;
}

std::string UserBackupDir(UserManager& users, int32_t entry) {
  users.SelectUser(EntryUserId(users, entry));
  return users.DesktopDir() + users.UserDir() + kPathSeparator + "backup" + kPathSeparator;
}

std::string PalmFilePath(UserManager& users, const TargetChecks& checks, int32_t entry, const std::string& palmFile) {
  if (checks.IsCustom(entry)) return palmFile;
  return UserBackupDir(users, entry) + PathFileName(palmFile);
}

bool InstallForUser(UserManager& users, int32_t entry, const std::string& path) {
  if (!MayQueue(path)) return false;
  users.SelectUser(EntryUserId(users, entry));
  return users.QueueInstall(path);
}

bool MayQueue(const std::string& path) { return path.find_first_of("\r\n") == std::string::npos; }

}  // namespace zun
