// A folder of the fuzzer's own for the files a conversion reads and writes, and the decode the
// document fuzzers share.
#pragma once
#include <cstdio>
#include <cstdlib>
#include <string>

#include "convert/document_to_text.h"
#include "glue/codec_loader.h"
#include "hotsync/user_manager.h"
#include "support/scripted_host.h"
#include "zun2/zun2.h"

namespace zunfuzz {

// Made once per process; in memory where possible, since the conversions flush what they write
// and a disk would be the bottleneck. The corpus replay names its own in ZUN2_FUZZ_FOLDER.
inline const std::string& Folder() {
  static const std::string folder = []() -> std::string {
    if (const char* given = std::getenv("ZUN2_FUZZ_FOLDER")) return std::string(given) + "/";
    char pattern[] = "/dev/shm/zun2-fuzz-XXXXXX";
    const char* made = mkdtemp(pattern);
    if (made == nullptr) {
      std::snprintf(pattern, sizeof pattern, "/tmp/zun2-fuzz-XXXXXX");
      made = mkdtemp(pattern);
    }
    if (made == nullptr) std::abort();
    return std::string(made) + "/";
  }();
  return folder;
}

// Decodes `document` into `text` as a task would; its status, which must be "OK" or an error.
inline std::string DecodeStatus(const std::string& document, const std::string& text) {
  static const zun::DocCodec codec{&Compress, &GetUncompSize, &DeCompress, &CalcPalmTime};
  zun::NoUsers users;
  zun::ScriptedHost host;
  zun::RunFlags flags;
  zun::ConversionEnv env{codec, users, host, flags, Folder()};
  zun::TaskRecord task;
  task.Action = zun::TaskAction::PalmToPc;
  task.PcFile = text;
  task.PalmFile = document;
  zun::ConvertDocumentToText(task, env);
  std::string status = task.Status.Trimmed();
  if (status != "OK" && status.rfind("Error", 0) != 0) __builtin_trap();
  return status;
}

}  // namespace zunfuzz
