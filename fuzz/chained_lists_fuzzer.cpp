// Documents of up to a few megabytes of chained record lists, made from a short description:
// how many lists, laid out forwards, backwards, scattered or spread over a sparse gigabyte, which
// of them hold a record, whether the last one loops back, and bytes patched anywhere in the
// lists. Read by the document-to-text conversion within the time and memory limits that
// tools/fuzz.sh gives this target: an intact chain reads back exactly, a loop is a damaged
// header, anything else ends as a status.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "convert/status_texts.h"
#include "fuzz_folder.h"

using zunfuzz::Folder;

namespace {

constexpr int64_t kListArea = 78;         // the lists start behind the header
constexpr size_t kListSize = 6 + 8;       // every list holds at most one entry here
constexpr size_t kMaxSparseLists = 4096;  // each one a page of its own in the sparse file
constexpr int64_t kSparseLength = int64_t{1} << 30;

struct Description {
  size_t lists = 1;
  uint8_t layout = 0;                // 0 forwards, 1 backwards, 2 scattered, 3 spread over a sparse gigabyte
  uint8_t holding = 0;               // bit (k mod 8) set: list k holds no record; 0: every list holds one
  size_t loopTo = 0;                 // the last list names list loopTo - 1 as its next; 0: no loop
  const uint8_t* patches = nullptr;  // 5 bytes each: a position in the lists, a byte to add
  size_t patchCount = 0;
};

void Put(std::vector<uint8_t>& bytes, size_t at, uint32_t value, int width) {
  for (int i = 0; i < width; ++i)
    bytes[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * (width - 1 - i)));
}

// Where each list goes: side by side behind the header, or spread over a sparse gigabyte.
std::vector<int64_t> ListOffsets(const Description& d) {
  std::vector<size_t> slot(d.lists);
  std::iota(slot.begin(), slot.end(), size_t{0});
  if (d.layout == 1) std::reverse(slot.begin(), slot.end());
  if (d.layout >= 2) {
    std::shuffle(slot.begin(), slot.end(), std::minstd_rand(static_cast<uint32_t>(d.lists)));
  }
  const int64_t spread = (kSparseLength - kListArea) / static_cast<int64_t>(d.lists) / 8 * 8;
  std::vector<int64_t> offsets(d.lists);
  for (size_t k = 0; k < d.lists; ++k) {
    offsets[k] = kListArea + static_cast<int64_t>(slot[k]) * (d.layout == 3 ? spread : int64_t{kListSize});
  }
  return offsets;
}

bool WriteAt(int fd, const std::vector<uint8_t>& bytes, size_t from, size_t count, int64_t at) {
  return ::pwrite(fd, bytes.data() + from, count, at) == static_cast<ssize_t>(count);
}

// Writes the document: the header, the lists, then DocInfo and the text records of one letter
// each. Returns the text an intact chain gives.
std::string WriteDocument(const Description& d, const std::string& path) {
  size_t records = 0;
  for (size_t k = 0; k < d.lists; ++k) records += (d.holding >> (k % 8) & 1) ? 0 : 1;
  const size_t textRecords = std::min<size_t>(records > 0 ? records - 1 : 0, 0xFFFF);  // DocInfo counts 16 bits
  const bool sparse = d.layout == 3;
  const int64_t recordArea = sparse ? kSparseLength : kListArea + static_cast<int64_t>(d.lists * kListSize);
  const std::vector<int64_t> at = ListOffsets(d);
  std::vector<uint8_t> header(kListArea, 0);
  std::copy_n("TEXtREAd", 8, header.begin() + 60);
  Put(header, 72, static_cast<uint32_t>(at[0]), 4);
  std::vector<uint8_t> lists(d.lists * kListSize);
  size_t record = 0;
  for (size_t k = 0; k < d.lists; ++k) {
    // Side by side: list k where ListOffsets put it; sparse: in chain order, each written apart.
    const size_t list = sparse ? k * kListSize : static_cast<size_t>(at[k] - kListArea);
    const size_t next = k + 1 < d.lists ? k + 1 : d.loopTo - 1;
    Put(lists, list, k + 1 < d.lists || d.loopTo > 0 ? static_cast<uint32_t>(at[next]) : 0, 4);
    if (d.holding >> (k % 8) & 1) continue;
    Put(lists, list + 4, 1, 2);
    Put(lists, list + 6, static_cast<uint32_t>(recordArea + (record == 0 ? 0 : 16 + static_cast<int64_t>(record) - 1)),
        4);
    ++record;
  }
  for (size_t p = 0; p < d.patchCount; ++p) {
    const uint8_t* patch = d.patches + 5 * p;
    const uint32_t position = uint32_t{patch[0]} << 24 | uint32_t{patch[1]} << 16 | uint32_t{patch[2]} << 8 | patch[3];
    lists[position % lists.size()] = static_cast<uint8_t>(lists[position % lists.size()] + patch[4]);
  }
  std::vector<uint8_t> texts = {
      0,    1, 0, 0, 0, 0, 0, 0, static_cast<uint8_t>(textRecords >> 8), static_cast<uint8_t>(textRecords),
      0x10, 0, 0, 0, 0, 0};
  std::string expected;
  for (size_t r = 1; r < records; ++r) texts.push_back(static_cast<uint8_t>('a' + r % 26));
  if (records >= 2) expected.assign(texts.begin() + 16, texts.begin() + 16 + static_cast<std::ptrdiff_t>(textRecords));

  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (fd < 0) std::abort();
  bool ok = WriteAt(fd, header, 0, header.size(), 0) && WriteAt(fd, texts, 0, texts.size(), recordArea);
  for (size_t k = 0; k < d.lists && ok; ++k) {
    ok = sparse ? WriteAt(fd, lists, k * kListSize, kListSize, at[k]) : WriteAt(fd, lists, 0, lists.size(), kListArea);
    if (!sparse) break;
  }
  if (!ok || ::close(fd) != 0) std::abort();
  return expected;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 8) return 0;
  Description d;
  d.layout = data[2] % 4;
  d.lists = 1 + ((size_t{data[0]} << 8 | data[1]) << 2);  // up to 262,141 lists: 3.6 MB
  if (d.layout == 3) d.lists = std::min(d.lists, kMaxSparseLists);
  d.holding = data[3];
  const uint32_t loop = static_cast<uint32_t>(data[4]) << 8 | data[5];
  d.loopTo = loop == 0 ? 0 : 1 + loop % d.lists;
  d.patches = data + 8;
  d.patchCount = (size - 8) / 5;

  const std::string document = Folder() + "chained.pdb";
  const std::string text = Folder() + "chained.txt";
  const std::string expected = WriteDocument(d, document);
  const std::string status = zunfuzz::DecodeStatus(document, text);
  if (d.patchCount == 0 && d.loopTo > 0 && status != zun::status::kBadHeader) __builtin_trap();
  if (d.patchCount == 0 && d.loopTo == 0 && !expected.empty()) {
    FILE* in = std::fopen(text.c_str(), "rb");
    std::string back(expected.size() + 1, '\0');
    const size_t got = in != nullptr ? std::fread(back.data(), 1, back.size(), in) : 0;
    if (in != nullptr) std::fclose(in);
    if (status != "OK" || back.substr(0, got) != expected) __builtin_trap();
  }
  std::remove(text.c_str());
  std::remove(document.c_str());
  return 0;
}
