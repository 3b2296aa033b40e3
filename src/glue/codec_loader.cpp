#include "glue/codec_loader.h"

#include <dlfcn.h>

#include <filesystem>

#include "glue/file_system.h"
#include "glue/paths.h"

#ifndef ZUN2_INSTALL_LIBDIR
#define ZUN2_INSTALL_LIBDIR "/usr/local/lib"
#endif
#ifndef ZUN2_INSTALL_LIBDIR_NAME
#define ZUN2_INSTALL_LIBDIR_NAME "lib"
#endif

namespace zun {
namespace {

std::string WithSeparator(std::string folder) {
  if (!folder.empty() && folder.back() != kPathSeparator) folder += kPathSeparator;
  return folder;
}

template <typename Function>
bool Resolve(void* handle, const char* name, Function& out) {
  out = reinterpret_cast<Function>(::dlsym(handle, name));
  return out != nullptr;
}

}  // namespace

std::vector<std::string> CodecSearchFolders() {
  std::vector<std::string> folders;
  std::error_code error;
  const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
  if (!error) {
    const std::filesystem::path folder = executable.parent_path();
    folders.push_back(WithSeparator(folder.string()));
    // The install library folder, also when the installed tree was moved: bin/../lib.
    folders.push_back(WithSeparator((folder.parent_path() / ZUN2_INSTALL_LIBDIR_NAME).string()));
  }
  folders.push_back(WithSeparator(ZUN2_INSTALL_LIBDIR));
  return folders;
}

std::optional<DocCodec> LoadDocCodec(const std::vector<std::string>& folders) {
  for (const std::string& folder : folders) {
    const std::string path = folder + kCodecLibraryName;
    if (FileExists(path) != FileState::Exists) continue;
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) continue;
    DocCodec codec;
    if (Resolve(handle, "Compress", codec.Compress) && Resolve(handle, "GetUncompSize", codec.GetUncompSize) &&
        Resolve(handle, "DeCompress", codec.DeCompress) && Resolve(handle, "CalcPalmTime", codec.CalcPalmTime)) {
      return codec;
    }
    ::dlclose(handle);
  }
  return std::nullopt;
}

}  // namespace zun
