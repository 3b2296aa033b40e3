#include "support/test_support.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <random>
#include <set>
#include <stdexcept>

#include "convert/document_to_text.h"
#include "convert/text_to_document.h"
#include "glue/byte_file.h"
#include "pdb/pdb_file.h"
#include "zun2/zun2.h"

namespace zuntest {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "zuntest-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  ::chmod(pattern.c_str(), 0777);  // tests that drop privileges work in here too
  path_ = pattern + "/";
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(path_, ignored);
}

Bytes Hex(const std::string& hex) {
  Bytes bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

Bytes ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

std::string ReadText(const std::string& path) {
  const Bytes bytes = ReadBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

void WriteBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

void WriteText(const std::string& path, const std::string& text) { WriteBytes(path, Bytes(text.begin(), text.end())); }

bool Exists(const std::string& path) { return std::filesystem::exists(std::filesystem::symlink_status(path)); }

std::string TestData(const std::string& name) { return std::string(ZUN2_TEST_DATA) + name; }

zun::DocCodec LinkedCodec() { return zun::DocCodec{&Compress, &GetUncompSize, &DeCompress, &CalcPalmTime}; }

Bytes RandomBytes(size_t size, uint32_t seed, int alphabet) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> pick(0, alphabet - 1);
  Bytes bytes(size);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(pick(random));
  return bytes;
}

Bytes IncompressibleBytes(size_t size) {
  std::mt19937 random(1);
  std::set<uint32_t> seen;
  Bytes bytes;
  while (bytes.size() < size) {
    const auto b = static_cast<uint8_t>(0x80 | random());
    const size_t n = bytes.size();
    if (n >= 2 && !seen.insert(uint32_t{bytes[n - 2]} << 16 | uint32_t{bytes[n - 1]} << 8 | b).second) continue;
    bytes.push_back(b);
  }
  return bytes;
}

std::string ProseText(size_t size, uint32_t seed) {
  static const std::string license = ReadText(TestData("gpl3.txt"));
  std::string text = license.substr(size_t{seed} * 7919u % license.size());
  while (text.size() < size) text += license;
  text.resize(size);
  return text;
}

zun::TaskRecord ConversionSetup::Task(zun::TaskAction action, const std::string& pcFile,
                                      const std::string& palmFile) const {
  zun::TaskRecord task = zun::DefaultSettingsRecord();
  task.Options.SetAt(zun::kOptUtf8Text, '0');  // bytes as they are, as zundoc without --charset
  task.Action = action;
  task.PcFile = pcFile;
  task.PalmFile = palmFile;
  return task;
}

std::string DecodedText(const std::string& document) {
  ConversionSetup s;
  zun::TaskRecord task = s.Task(zun::TaskAction::PalmToPc, s.files / "decoded.txt", document);
  zun::ConversionEnv env = s.Env();
  zun::ConvertDocumentToText(task, env);
  return task.Status.Trimmed() == "OK" ? ReadText(s.files / "decoded.txt") : "(" + task.Status.Trimmed() + ")";
}

void WriteDocument(const std::string& document, const std::string& text, const std::string& charset) {
  ConversionSetup s;
  WriteText(s.files / "text", text);
  zun::TaskRecord task = s.Task(zun::TaskAction::PcToPalm, s.files / "text", document);
  task.Options.SetAt(zun::kOptRaw, '1');
  task.Options.SetAt(zun::kOptUtf8Text, charset.empty() ? '0' : '1');
  zun::ConversionEnv env = s.Env();
  if (!charset.empty()) env.handheldCharset = charset;
  zun::ConvertTextToDocument(task, env);
  EXPECT_EQ(task.Status.Trimmed(), "OK") << document;
}

int32_t AddTask(zun::DataFile& data, zun::TaskAction action, const std::string& pcFile, const std::string& palmFile) {
  const int32_t number = zun::TaskRecordNumber(data.AddTask());
  zun::TaskRecord task = data.Read(number);
  task.Action = action;
  task.PcFile = pcFile;
  task.PalmFile = palmFile;
  data.Write(number, task);
  return number;
}

void ChangeRecord(zun::DataFile& data, int32_t number, const std::function<void(zun::TaskRecord&)>& change) {
  zun::TaskRecord record = data.Read(number);
  change(record);
  data.Write(number, record);
}

void ChangeData(const std::string& folder, const std::function<void(zun::DataFile&)>& change) {
  zun::DataFile data(folder);
  data.OpenAndCheck(zun::LockWait::Yes);
  change(data);
}

int32_t AddTask(const std::string& folder, zun::TaskAction action, const std::string& pcFile,
                const std::string& palmFile) {
  int32_t number = 0;
  ChangeData(folder, [&](zun::DataFile& data) { number = AddTask(data, action, pcFile, palmFile); });
  return number;
}

void PrintTo(const Outcome& outcome, std::ostream* os) {
  *os << outcome.exit << ", out \"" << outcome.out << "\", err \"" << outcome.err << '"';
}

std::string MakeNullDevice(const TempDir& dir) {
  const std::string path = dir / "null";
  return ::mknod(path.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0 ? path : "";
}

Outcome RunShell(const std::string& command, const std::string& scratch) {
  const std::string out = scratch + "/stdout", err = scratch + "/stderr";
  const int status = std::system((command + " >'" + out + "' 2>'" + err + "'").c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadText(out), ReadText(err)};
}

pid_t Spawn(const std::vector<std::string>& args, const std::vector<std::string>& env, const std::string& out,
            int input) {
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  if (input >= 0) posix_spawn_file_actions_adddup2(&files, input, STDIN_FILENO);
  posix_spawn_file_actions_addopen(&files, STDOUT_FILENO, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&files, STDERR_FILENO, (out + ".err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<char*> argv, envp;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  for (const std::string& var : env) envp.push_back(const_cast<char*>(var.c_str()));
  argv.push_back(nullptr);
  envp.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawnp(&pid, argv[0], &files, nullptr, argv.data(), envp.data()) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&files);
  return pid;
}

void FakeUsers::AddUser(int32_t id, const std::string& name) {
  users.push_back({id, name, name + "Dir"});
  std::filesystem::create_directories(BackupDir(users.size() - 1));
}

bool FakeUsers::QueueInstall(const std::string& path) {
  if (queueFails) return false;
  queued.emplace_back(selected_, path);
  if (onQueue) onQueue(path);
  return true;
}

std::vector<StoredRecord> StoredRecords(const std::string& path) {
  zun::PdbReader reader(zun::ByteFile::OpenForReading(path));
  std::string creator, type;
  int32_t count = 0;
  EXPECT_EQ(zun::ReadPdbHeader(reader, creator, type, count), 0);
  std::vector<StoredRecord> records(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    StoredRecord& record = records[static_cast<size_t>(i)];
    EXPECT_EQ(zun::ReadPdbRecord(reader, i, record.attributes, record.bytes), 0);
  }
  return records;
}

namespace {

// Writes `value` big-endian into the `width` bytes at `at`.
void Put(Bytes& file, size_t at, size_t value, int width) {
  for (int i = 0; i < width; ++i)
    file[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * (width - 1 - i)));
}

}  // namespace

Bytes MakeDatabase(const std::vector<Bytes>& records, const std::string& type, const std::string& creator) {
  Bytes file(78 + 8 * records.size(), 0);
  std::copy(type.begin(), type.begin() + 4, file.begin() + 60);
  std::copy(creator.begin(), creator.begin() + 4, file.begin() + 64);
  Put(file, 76, records.size(), 2);
  for (size_t i = 0; i < records.size(); ++i) {
    Put(file, 78 + 8 * i, file.size(), 4);
    Put(file, 78 + 8 * i + 4, 0x406F8000 + i, 4);  // attributes 0x40 (dirty), a unique ID
    file.insert(file.end(), records[i].begin(), records[i].end());
  }
  return file;
}

Bytes MakeChainedDatabase(const std::vector<Bytes>& records) {
  Bytes file = MakeDatabase({});
  const size_t first = file.size(), lists = records.size();
  file.resize(first + 14 * lists);
  const auto at = [&](size_t k) { return first + 14 * (lists - 1 - k); };  // the last list first in the file
  if (lists > 0) Put(file, 72, at(0), 4);
  for (size_t k = 0; k < lists; ++k) {
    Put(file, at(k), k + 1 < lists ? at(k + 1) : 0, 4);
    Put(file, at(k) + 4, 1, 2);
    Put(file, at(k) + 6, file.size(), 4);
    file.insert(file.end(), records[k].begin(), records[k].end());
  }
  return file;
}

void WriteLoopingLists(const std::string& path, uint32_t length) {
  const uint32_t first = length - 28;
  Bytes file = MakeDatabase({});
  file.resize(72 + 14 * 3);  // the header's list and the two lists, each of one entry at offset 0x4E
  for (const auto& [at, next] : {std::pair<size_t, uint32_t>{72, first}, {86, first + 14}, {100, first}}) {
    Put(file, at, next, 4);
    Put(file, at + 4, 1, 2);
    Put(file, at + 6, 0x4E, 4);
  }
  WriteBytes(path, Bytes(file.begin(), file.begin() + 86));
  std::filesystem::resize_file(path, first);  // a hole up to the two lists
  std::ofstream(path, std::ios::binary | std::ios::app).write(reinterpret_cast<const char*>(file.data() + 86), 28);
}

void SetModificationTime(const std::string& path, std::time_t time) {
  const struct timeval times[2] = {{time, 0}, {time, 0}};
  if (::utimes(path.c_str(), times) != 0) throw std::runtime_error("utimes failed on " + path);
}

ScopedEnv::ScopedEnv(const char* name, const std::string& value) : name_(name) {
  if (const char* old = std::getenv(name)) old_ = old;
  ::setenv(name, value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() { old_ ? ::setenv(name_.c_str(), old_->c_str(), 1) : ::unsetenv(name_.c_str()); }

}  // namespace zuntest
