// Preloaded into zundoc by the fault tests, as the environment asks:
//   ZUN2_FAULT_SYNC=1    fsync, fdatasync and sync_file_range fail with EIO (the disk lost the data);
//   ZUN2_FAULT_SIGNAL=N  signal N arrives once, at the first write at or past 256 KiB into a file,
//                        that is part-way through a large text or document.
#include <dlfcn.h>
#include <sys/types.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>

namespace {

bool SyncFails() {
  const char* value = std::getenv("ZUN2_FAULT_SYNC");
  return value != nullptr && *value == '1';
}

template <typename Function>
Function Real(const char* name) {
  return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

void SignalPartWay(off_t offset) {
  static bool sent = false;
  const char* signal = std::getenv("ZUN2_FAULT_SIGNAL");
  if (sent || signal == nullptr || offset < (off_t{1} << 18)) return;
  sent = true;
  std::raise(std::atoi(signal));
}

}  // namespace

// The parameters are named as in <unistd.h>.
extern "C" {

int fsync(int fd) {
  if (SyncFails()) return errno = EIO, -1;
  return Real<int (*)(int)>("fsync")(fd);
}

int fdatasync(int fildes) {
  if (SyncFails()) return errno = EIO, -1;
  return Real<int (*)(int)>("fdatasync")(fildes);
}

int sync_file_range(int fd, off_t offset, off_t count, unsigned int flags) {
  if (SyncFails()) return errno = EIO, -1;
  return Real<int (*)(int, off_t, off_t, unsigned int)>("sync_file_range")(fd, offset, count, flags);
}

ssize_t pwrite(int fd, const void* buf, size_t n, off_t offset) {
  SignalPartWay(offset);
  return Real<ssize_t (*)(int, const void*, size_t, off_t)>("pwrite")(fd, buf, n, offset);
}

ssize_t pwrite64(int fd, const void* buf, size_t n, off_t offset) {
  SignalPartWay(offset);
  return Real<ssize_t (*)(int, const void*, size_t, off_t)>("pwrite64")(fd, buf, n, offset);
}

}  // extern "C"
