// Palm database layout as written, and every check of the reader.
#include "pdb/pdb_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <optional>

#include "convert/document_text.h"
#include "glue/byte_file.h"
#include "support/test_support.h"

using zuntest::Bytes;
using zuntest::Hex;

namespace {

uint32_t FixedPalmTime() { return 0xB0C0FFEE; }

Bytes WriteDatabase(const std::string& path, const std::string& name, const std::vector<Bytes>& records,
                    int32_t category = 0) {
  zun::DocCodec codec = zuntest::LinkedCodec();
  codec.CalcPalmTime = &FixedPalmTime;
  zun::ByteFile file = zun::ByteFile::CreateForWriting(path);
  EXPECT_EQ(zun::WritePdbHeader(file, codec, name, "TEXt", "REAd", static_cast<int32_t>(records.size())), 0);
  for (size_t i = 0; i < records.size(); ++i) {
    EXPECT_EQ(zun::AppendPdbRecord(file, static_cast<int32_t>(i), records[i], i == 0 ? category : 0), 0);
  }
  file.Close();
  return zuntest::ReadBytes(path);
}

// A reader of `file`, stored under a fresh name in `dir`.
zun::PdbReader Reader(const zuntest::TempDir& dir, const Bytes& file) {
  static int files = 0;
  const std::string path = dir / (std::to_string(++files) + ".pdb");
  zuntest::WriteBytes(path, file);
  return zun::PdbReader(zun::ByteFile::OpenForReading(path));
}

// Record `index` as read; nothing when the reader refuses it.
std::optional<Bytes> Record(zun::PdbReader& reader, int32_t index) {
  uint8_t attributes = 0;
  Bytes bytes;
  if (zun::ReadPdbRecord(reader, index, attributes, bytes) != 0) return std::nullopt;
  return bytes;
}

TEST(PdbWrite, HeaderRecordListAndDocInfoAreLaidOutExactly) {
  zuntest::TempDir dir;
  const Bytes file =
      WriteDatabase(dir / "a.pdb", "notes1", {zun::MakeDocInfo(5, 1, true), {'h', 'e', 'l', 'l', 'o'}}, 5);
  Bytes expected(32, ' ');  // the name, one NUL, blanks
  const std::string name = "notes1";
  std::copy(name.begin(), name.end(), expected.begin());
  expected[name.size()] = 0;
  const Bytes rest =
      Hex("00000000b0c0ffeeb0c0ffee00000000000000000000000000000000"  // attributes, version, dates, offsets
          "54455874524541640000000000000000"                          // type, creator, seed, next list
          "00020000005e456f80000000006e406f8001"                      // two records, the first dirty in category 5
          "00020000000000050001100000000000"                          // DocInfo: compressed, 5 bytes, 1 record of 4096
          "68656c6c6f");
  expected.insert(expected.end(), rest.begin(), rest.end());
  EXPECT_EQ(file, expected);
  // No records: two bytes of gap behind the empty list; a name of 32 bytes or more: cut, no NUL.
  const Bytes empty = WriteDatabase(dir / "e.pdb", std::string(40, 'n'), {});
  EXPECT_EQ(empty.size(), 80u);
  EXPECT_EQ(std::string(empty.begin(), empty.begin() + 32), std::string(32, 'n'));
}

TEST(PdbRead, ChainedListsAreWalkedOnceLettingEventsRun) {
  zuntest::TempDir dir;
  // 70,000 lists of one record each, laid out backwards; records past what a document can use
  // are counted but not kept.
  std::vector<Bytes> records;
  for (uint32_t i = 0; i < 70000; ++i) records.push_back({static_cast<uint8_t>(i), static_cast<uint8_t>(i >> 8)});
  records[0] = Hex("00010000000000020001100000000000");  // DocInfo: one text record of two bytes, as is
  const Bytes file = zuntest::MakeChainedDatabase(records);
  zun::PdbReader chained = Reader(dir, file);
  std::string creator, type;
  int32_t count = 0;
  ASSERT_EQ(zun::ReadPdbHeader(chained, creator, type, count), 0);
  EXPECT_EQ(count, 70000);
  for (int32_t i : {0, 1, 40000, 65535}) EXPECT_EQ(Record(chained, i), records[static_cast<size_t>(i)]) << i;
  EXPECT_EQ(Record(chained, 65536), std::nullopt) << "past the entries kept";
  // Reading the whole text (what merges and the Trash compare) lets events run during the walk.
  zuntest::WriteBytes(dir / "chained.pdb", file);
  int between = 0;
  EXPECT_EQ(zun::ReadDocumentText(dir / "chained.pdb", zuntest::LinkedCodec(), 1 << 20, [&] { ++between; }),
            std::string("\x01\x00", 2));
  EXPECT_EQ(between, 70000 >> 14);
}

// The checks a conversion's status shows are tested with the conversion; these are the reader's own.
TEST(PdbRead, LargeDocumentsReadInAnyOrderAndFailWhenTheyShrink) {
  // Records far apart, read forwards, backwards and again; then the file is cut short while open.
  zuntest::TempDir dir;
  std::vector<Bytes> records;
  for (uint32_t i = 0; i < 300; ++i) records.push_back(zuntest::RandomBytes(1000 + i * 7, i));
  WriteDatabase(dir / "big.pdb", "big", records);
  zun::PdbReader reader(zun::ByteFile::OpenForReading(dir / "big.pdb"));
  for (int32_t i : {0, 299, 1, 150, 298, 0, 299}) EXPECT_EQ(Record(reader, i), records[static_cast<size_t>(i)]) << i;
  ASSERT_EQ(::truncate((dir / "big.pdb").c_str(), 200000), 0);
  EXPECT_NE(Record(reader, 10), std::nullopt) << "still in the file";
  EXPECT_EQ(Record(reader, 290), std::nullopt) << "cut off";
  // No Palm record is larger than 64 KiB: a larger one is damage, never read.
  auto large = Reader(dir, zuntest::MakeDatabase({Bytes(65535, 'x'), Bytes(65536, 'y')}));
  EXPECT_EQ(Record(large, 0), Bytes(65535, 'x'));
  EXPECT_EQ(Record(large, 1), std::nullopt);
}

}  // namespace
