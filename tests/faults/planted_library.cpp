// A library named like the codec, planted where the program must never load it from: loading it
// leaves a mark.
#include <cstdio>
#include <cstdlib>

__attribute__((constructor)) static void LeaveAMark() {
  if (const char* mark = std::getenv("ZUN2_PLANTED_MARK")) {
    if (FILE* file = std::fopen(mark, "w")) std::fclose(file);
  }
}
