// HotSync users through J-Pilot's files: one user, whose backup folder is ~/.jpilot/backup/ and
// whose install queue is ~/.jpilot/jpilot.install (J-Pilot installs each listed file at the next
// sync and keeps only the lines that failed).
#pragma once
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "hotsync/user_manager.h"

namespace zun {

// The J-Pilot folder: $JPILOT_HOME/.jpilot/ (or $HOME/.jpilot/), with a trailing separator.
std::string JPilotFolder();

// What ZUN2 takes from jpilot.rc: lines of "name value".
struct JPilotSettings {
  std::string user;                // empty: none given
  int32_t userId = 0;              // 0: none given (or not a positive 32-bit number)
  std::optional<int32_t> charSet;  // J-Pilot's character set number, when given as a number
};
JPilotSettings ParseJPilotSettings(std::string_view text);

// A settings file holds a few kilobytes; anything larger is not J-Pilot's and is ignored.
inline constexpr size_t kMaxSettingsFile = size_t{64} * 1024;

class JPilotUsers final : public UserManager {
 public:
  // Looks at the J-Pilot folder once; without it there are no users.
  JPilotUsers();
  // For tests: a given folder and how long to wait for a sync that rewrites the install list.
  JPilotUsers(std::string jpilotFolder, std::chrono::milliseconds syncWait);

  // The ID used when jpilot.rc gives none, so the user always gets an entry.
  static constexpr int32_t kDefaultUserId = 1;

  int32_t UserCount() override { return present_ ? 1 : 0; }
  int32_t UserIdAt(int32_t index) override;
  // DesktopDir & UserDir is the J-Pilot folder.
  std::string DesktopDir() override { return parent_; }
  void SelectUser(int32_t) override {}
  std::string UserName() override { return userName_; }
  std::string UserDir() override { return ".jpilot"; }
  bool IsProfile() override { return false; }
  bool QueueInstall(const std::string& path) override;
  const JPilotSettings& Settings() const { return settings_; }

 private:
  void ReadSettings();

  std::string folder_;  // .../.jpilot/
  std::string parent_;  // the folder that holds .jpilot
  bool present_ = false;
  std::string userName_;
  int32_t userId_ = kDefaultUserId;
  JPilotSettings settings_;
  std::chrono::milliseconds syncWait_{3000};
};

}  // namespace zun
