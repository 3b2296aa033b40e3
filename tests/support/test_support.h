// Shared helpers for the tests: temporary folders, whole-file I/O, a ready conversion setup.
#pragma once
#include <sys/types.h>

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "convert/conversion_env.h"
#include "editor/editor_model.h"
#include "hotsync/user_manager.h"
#include "record/data_file.h"
#include "record/task_record.h"
#include "support/scripted_host.h"

namespace zuntest {

using Bytes = std::vector<uint8_t>;

// A fresh folder, removed with everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  // The folder with a trailing "/".
  const std::string& Path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + name; }

 private:
  std::string path_;
};

inline Bytes AsBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }
// The bytes a string of hexadecimal digit pairs spells.
Bytes Hex(const std::string& hex);
Bytes ReadBytes(const std::string& path);
std::string ReadText(const std::string& path);
void WriteBytes(const std::string& path, const Bytes& bytes);
void WriteText(const std::string& path, const std::string& text);
bool Exists(const std::string& path);
std::string TestData(const std::string& name);

// The codec functions linked straight from libzun2.
zun::DocCodec LinkedCodec();

// Random bytes from a fixed seed.
Bytes RandomBytes(size_t size, uint32_t seed, int alphabet = 256);
// Bytes of 0x80 and above in which no three bytes come twice: every 8 take 9 encoded, the bound.
Bytes IncompressibleBytes(size_t size);
// English prose: the GPL from a point the seed picks, as often as it takes.
std::string ProseText(size_t size, uint32_t seed);

// Sets an environment variable for the life of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value);
  ~ScopedEnv();

 private:
  std::string name_;
  std::optional<std::string> old_;
};

// Everything a conversion needs, with "Custom" as the only target and no users.
struct ConversionSetup {
  TempDir programDir;
  TempDir files;
  TempDir dataHome;  // XDG_DATA_HOME, where a run's Trash is
  ScopedEnv dataHomeSet{"XDG_DATA_HOME", dataHome.Path()};
  zun::DocCodec codec = LinkedCodec();
  zun::NoUsers noUsers;
  zun::UserManager* users = &noUsers;
  zun::ScriptedHost host;
  zun::RunFlags flags;

  zun::ConversionEnv Env() { return zun::ConversionEnv{codec, *users, host, flags, programDir.Path()}; }
  // A task as zundoc makes it: defaults of a new task, the given direction and files.
  zun::TaskRecord Task(zun::TaskAction action, const std::string& pcFile, const std::string& palmFile) const;
};

// The text a document holds, byte for byte as stored; "(status)" when it cannot be read.
std::string DecodedText(const std::string& document);
// Writes `document` anew with `text`, byte for byte, as the handheld's side would; with a `charset`,
// the text (UTF-8) goes into that set.
void WriteDocument(const std::string& document, const std::string& text, const std::string& charset = "");

// Adds a task with this direction and these files; its record number.
int32_t AddTask(zun::DataFile& data, zun::TaskAction action, const std::string& pcFile, const std::string& palmFile);
// Reads record `number`, changes it, writes it back.
void ChangeRecord(zun::DataFile& data, int32_t number, const std::function<void(zun::TaskRecord&)>& change);
// Opens the data file in `folder` (made when missing, waited for while another program holds it)
// for `change`, and closes it again.
void ChangeData(const std::string& folder, const std::function<void(zun::DataFile&)>& change);
// The same for adding one task.
int32_t AddTask(const std::string& folder, zun::TaskAction action, const std::string& pcFile,
                const std::string& palmFile);

// How a program ended: its exit status and what it wrote.
struct Outcome {
  int exit = -1;
  std::string out, err;
  bool operator==(const Outcome&) const = default;
};
void PrintTo(const Outcome& outcome, std::ostream* os);
// Runs a shell command line, catching its output in files in the folder `scratch`.
Outcome RunShell(const std::string& command, const std::string& scratch);
// Starts a program (looked for on PATH) with `env` ("NAME=value") as its whole environment, its
// standard output in the file `out`, its standard error in `out` + ".err", its standard input
// `input` when given; its process ID, -1 when it cannot start.
pid_t Spawn(const std::vector<std::string>& args, const std::vector<std::string>& env, const std::string& out,
            int input = -1);

// A user manager with users in folders below `desktop`; remembers what was queued.
class FakeUsers : public zun::UserManager {
 public:
  struct User {
    int32_t id;
    std::string name;
    std::string dir;
    bool profile = false;
  };
  std::string desktop;
  std::vector<User> users;
  std::vector<std::pair<int32_t, std::string>> queued;  // user ID, path
  bool queueFails = false;
  std::function<void(const std::string& path)> onQueue;

  // Adds a user whose backup folder exists.
  void AddUser(int32_t id, const std::string& name);
  std::string BackupDir(size_t index) const { return desktop + users[index].dir + "/backup/"; }

  int32_t UserCount() override { return static_cast<int32_t>(users.size()); }
  int32_t UserIdAt(int32_t index) override {
    return index >= 0 && index < UserCount() ? users[static_cast<size_t>(index)].id : 0;
  }
  std::string DesktopDir() override { return desktop; }
  void SelectUser(int32_t id) override { selected_ = id; }
  std::string UserName() override { return Selected().name; }
  std::string UserDir() override { return Selected().dir; }
  bool IsProfile() override { return Selected().profile; }
  bool QueueInstall(const std::string& path) override;

 private:
  User Selected() const {
    const auto found = std::find_if(users.begin(), users.end(), [this](const User& u) { return u.id == selected_; });
    return found != users.end() ? *found : User{};
  }
  int32_t selected_ = 0;
};

struct StoredRecord {
  uint8_t attributes = 0;
  Bytes bytes;
};
// The records of a database as they are stored.
std::vector<StoredRecord> StoredRecords(const std::string& path);

// A document with the given records behind a header of the given type and creator.
Bytes MakeDatabase(const std::vector<Bytes>& records, const std::string& type = "TEXt",
                   const std::string& creator = "REAd");

// The same with each record in a record list of its own, chained (the header's list holds none),
// the lists laid out in the file from the last to the first.
Bytes MakeChainedDatabase(const std::vector<Bytes>& records);

// A document of `length` bytes, a hole but for its header and two record lists at its end that
// name each other as the next.
void WriteLoopingLists(const std::string& path, uint32_t length);

// File dialogs that answer as told and remember what they were asked.
class ScriptedDialogs : public zun::FileDialogs {
 public:
  std::vector<zun::FileDialogRequest> requests;
  std::optional<zun::FileDialogResult> answer;
  std::optional<zun::FileDialogResult> OpenFile(const zun::FileDialogRequest& request) override {
    requests.push_back(request);
    return answer;
  }
};

// A character device like /dev/null made inside `dir` (root may make one); empty when it cannot
// be made. Tests never point at the system's own devices.
std::string MakeNullDevice(const TempDir& dir);

// Sets a file's modification time.
void SetModificationTime(const std::string& path, std::time_t time);

}  // namespace zuntest
