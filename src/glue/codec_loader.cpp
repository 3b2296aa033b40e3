#include "glue/codec_loader.h"

#include <dlfcn.h>

#include <filesystem>

#include "glue/file_system.h"
#include "glue/paths.h"

// The private library folder of an install (set by the build), as configured and as seen from the
// executables' folder, so a moved install tree still finds its own library.
#ifndef ZUN2_CODEC_DIR
#define ZUN2_CODEC_DIR "/usr/local/lib/zun2"
#endif
#ifndef ZUN2_CODEC_DIR_FROM_BIN
#define ZUN2_CODEC_DIR_FROM_BIN "../lib/zun2"
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
    folders.push_back(WithSeparator((folder / ZUN2_CODEC_DIR_FROM_BIN).lexically_normal().string()));
  }
  folders.push_back(WithSeparator(ZUN2_CODEC_DIR));
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
