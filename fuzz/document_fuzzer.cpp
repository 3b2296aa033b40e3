// Any file read as a Palm document by the document-to-text conversion: every reader check,
// chained record lists, offsets out of order or past the end, counts that overflow. The outcome
// is a status text, never a crash.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz_folder.h"

using zunfuzz::Folder;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string document = Folder() + "in.pdb";
  const std::string text = Folder() + "out.txt";
  FILE* file = std::fopen(document.c_str(), "wb");
  if (file == nullptr) std::abort();
  std::fwrite(data, 1, size, file);
  std::fclose(file);

  zunfuzz::DecodeStatus(document, text);
  std::remove(text.c_str());
  return 0;
}
