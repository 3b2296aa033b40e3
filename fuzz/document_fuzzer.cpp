// Any file read as a Palm document by the document-to-text conversion: every reader check,
// chained record lists, offsets out of order or past the end, counts that overflow. The outcome
// is a status text, never a crash.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "convert/document_to_text.h"
#include "fuzz_folder.h"
#include "glue/codec_loader.h"
#include "hotsync/user_manager.h"
#include "support/scripted_host.h"
#include "zun2/zun2.h"

using zunfuzz::Folder;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string document = Folder() + "in.pdb";
  const std::string text = Folder() + "out.txt";
  FILE* file = std::fopen(document.c_str(), "wb");
  if (file == nullptr) std::abort();
  std::fwrite(data, 1, size, file);
  std::fclose(file);

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
  const std::string status = task.Status.Trimmed();
  if (status != "OK" && status.rfind("Error", 0) != 0) __builtin_trap();
  std::remove(text.c_str());
  return 0;
}
