// HotSync users: the eight calls the program makes on the user manager, and the rules that turn a
// checked entry of the install list into a folder or a document path.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace zun {

inline constexpr const char* kCustomEntry = "Custom";
inline constexpr const char* kProfileSuffix = " - Profile";

class UserManager {
 public:
  virtual ~UserManager() = default;
  virtual int32_t UserCount() = 0;
  virtual int32_t UserIdAt(int32_t index) = 0;  // 0 = no user
  virtual std::string DesktopDir() = 0;
  virtual void SelectUser(int32_t id) = 0;
  virtual std::string UserName() = 0;
  virtual std::string UserDir() = 0;
  virtual bool IsProfile() = 0;
  // Queues the file for installation at the selected user's next HotSync; false when it could not.
  virtual bool QueueInstall(const std::string& path) = 0;
};

// No HotSync software on this machine: no users, only "Custom".
class NoUsers final : public UserManager {
 public:
  int32_t UserCount() override { return 0; }
  int32_t UserIdAt(int32_t) override { return 0; }
  std::string DesktopDir() override { return {}; }
  void SelectUser(int32_t) override {}
  std::string UserName() override { return {}; }
  std::string UserDir() override { return {}; }
  bool IsProfile() override { return false; }
  bool QueueInstall(const std::string&) override { return false; }
};

// Check marks of the install list: the users in list order, then "Custom" last.
struct TargetChecks {
  std::vector<bool> checked;

  int32_t EntryCount() const { return static_cast<int32_t>(checked.size()); }
  bool IsChecked(int32_t entry) const {
    return entry >= 0 && entry < EntryCount() && checked[static_cast<size_t>(entry)];
  }
  int32_t CustomEntry() const { return EntryCount() - 1; }
  bool IsCustom(int32_t entry) const { return entry == CustomEntry(); }
  bool CustomChecked() const { return !checked.empty() && checked.back(); }
  int32_t CheckedCount() const;
  int32_t FirstChecked() const;  // -1 when none
};

// The entries of the install list for the users (without "Custom"); users without an ID (0) are
// left out.
std::vector<std::string> FillUserList(UserManager& users);
// The ID of the user that install list entry `entry` shows (users without an ID being left out of
// the list, entry and user index differ after one); 0 when no user has that entry.
int32_t EntryUserId(UserManager& users, int32_t entry);
// DesktopDir & UserDir & "/backup/" of the user at list entry `entry`.
std::string UserBackupDir(UserManager& users, int32_t entry);
// The document's path for one checked entry: palmFile itself for "Custom", else the file name of
// palmFile in that user's backup folder.
std::string PalmFilePath(UserManager& users, const TargetChecks& checks, int32_t entry, const std::string& palmFile);
bool InstallForUser(UserManager& users, int32_t entry, const std::string& path);
// Whether `path` can be queued for installation: install lists hold one path a line, so a path
// with a line break (LF or CR) would split into lines naming other files.
bool MayQueue(const std::string& path);

}  // namespace zun
