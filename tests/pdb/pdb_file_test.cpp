// Palm database layout as written, and every check of the reader.
#include <gtest/gtest.h>
#include <unistd.h>

#include "glue/byte_file.h"
#include "pdb/pdb_file.h"
#include "support/test_support.h"

using zuntest::Bytes;

namespace {

uint32_t BigEndian(const Bytes& b, size_t at, int width) {
  uint32_t v = 0;
  for (size_t i = 0; i < static_cast<size_t>(width); ++i) v = (v << 8) | b[at + i];
  return v;
}

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

zun::PdbReader Open(const std::string& path) { return zun::PdbReader(zun::ByteFile::OpenForReading(path)); }

TEST(PdbWrite, HeaderFieldsAndRecordListAreLaidOutExactly) {
  zuntest::TempDir dir;
  const Bytes file = WriteDatabase(dir / "a.pdb", "notes1", {zun::MakeDocInfo(5, 1, true), Bytes{'h', 'e', 'l', 'l', 'o'}}, 5);
  ASSERT_EQ(file.size(), 78u + 8 * 2 + 16 + 5);
  EXPECT_EQ(std::string(file.begin(), file.begin() + 7), std::string("notes1\0", 7));
  for (size_t i = 7; i < 32; ++i) EXPECT_EQ(file[i], ' ') << i;
  EXPECT_EQ(BigEndian(file, 32, 4), 0u) << "attributes and version";
  EXPECT_EQ(BigEndian(file, 36, 4), 0xB0C0FFEEu) << "creation date";
  EXPECT_EQ(BigEndian(file, 40, 4), 0xB0C0FFEEu) << "modification date";
  for (size_t at = 44; at < 60; at += 4) EXPECT_EQ(BigEndian(file, at, 4), 0u) << at;
  EXPECT_EQ(std::string(file.begin() + 60, file.begin() + 68), "TEXtREAd");
  EXPECT_EQ(BigEndian(file, 68, 4), 0u) << "seed";
  EXPECT_EQ(BigEndian(file, 72, 4), 0u) << "next list";
  EXPECT_EQ(BigEndian(file, 76, 2), 2u);
  EXPECT_EQ(BigEndian(file, 78, 4), 94u) << "record 0 directly behind the list";
  EXPECT_EQ(file[82], 0x45) << "dirty | category";
  EXPECT_EQ(BigEndian(file, 83, 3), 0x6F8000u);
  EXPECT_EQ(BigEndian(file, 86, 4), 110u);
  EXPECT_EQ(file[90], 0x40);
  EXPECT_EQ(BigEndian(file, 91, 3), 0x6F8001u);
  // DocInfo: version 2, text length, one record of 4096.
  EXPECT_EQ(BigEndian(file, 94, 2), 2u);
  EXPECT_EQ(BigEndian(file, 98, 4), 5u);
  EXPECT_EQ(BigEndian(file, 102, 2), 1u);
  EXPECT_EQ(BigEndian(file, 104, 2), 4096u);
  EXPECT_EQ(BigEndian(file, 106, 4), 0u);
}

TEST(PdbWrite, EmptyDatabaseAndLongNames) {
  zuntest::TempDir dir;
  EXPECT_EQ(WriteDatabase(dir / "e.pdb", "x", {}).size(), 80u);
  const Bytes longName = WriteDatabase(dir / "l.pdb", std::string(40, 'n'), {});
  EXPECT_EQ(std::string(longName.begin(), longName.begin() + 32), std::string(32, 'n')) << "cut, no NUL";
  EXPECT_EQ(zun::MakeDocInfo(1, 1, false)[1], 1) << "uncompressed version";
}

TEST(PdbRead, HeaderNeedsEightyTwoBytesAndTheEntriesItPromises) {
  zuntest::TempDir dir;
  Bytes file = WriteDatabase(dir / "a.pdb", "a", {Bytes{1, 2, 3, 4}});
  ASSERT_EQ(file.size(), 90u);
  std::string creator, type;
  int32_t count = 0;
  file.resize(86);  // the header and the one entry it promises
  zuntest::WriteBytes(dir / "b.pdb", file);
  auto reader = Open(dir / "b.pdb");
  EXPECT_EQ(zun::ReadPdbHeader(reader, creator, type, count), 0);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(type, "TEXt");
  EXPECT_EQ(creator, "REAd");
  file.resize(82);
  zuntest::WriteBytes(dir / "d.pdb", file);
  auto cutReader = Open(dir / "d.pdb");
  EXPECT_THROW(zun::ReadPdbHeader(cutReader, creator, type, count), zun::FileError) << "an entry cut short";
  file[77] = 0;  // no records: 82 bytes are enough
  zuntest::WriteBytes(dir / "e.pdb", file);
  auto emptyReader = Open(dir / "e.pdb");
  EXPECT_EQ(zun::ReadPdbHeader(emptyReader, creator, type, count), 0);
  EXPECT_EQ(count, 0);
  file.resize(81);
  zuntest::WriteBytes(dir / "c.pdb", file);
  auto shortReader = Open(dir / "c.pdb");
  EXPECT_EQ(zun::ReadPdbHeader(shortReader, creator, type, count), -1);
}

TEST(PdbRead, FollowsChainedRecordLists) {
  // Header list with one record, a second list at offset 100 with two more.
  Bytes file(140, 0);
  std::copy_n("TEXtREAd", 8, file.begin() + 60);
  file[72 + 3] = 100;  // next list at 100
  file[77] = 1;
  file[78 + 3] = 140;  // record 0 at 140
  const Bytes second = {0, 0, 0, 0, 0, 2, 0, 0, 0, 142, 0, 0, 0, 0, 0, 0, 0, 145, 0, 0, 0, 0};
  std::copy(second.begin(), second.end(), file.begin() + 100);
  for (int b : {0xA0, 0xA1, 0xB0, 0xB1, 0xB2, 0xC0}) file.push_back(static_cast<uint8_t>(b));
  zuntest::TempDir dir;
  zuntest::WriteBytes(dir / "c.pdb", file);
  auto reader = Open(dir / "c.pdb");
  std::string creator, type;
  int32_t count = 0;
  ASSERT_EQ(zun::ReadPdbHeader(reader, creator, type, count), 0);
  EXPECT_EQ(count, 3);
  uint8_t attributes = 0;
  Bytes record;
  ASSERT_EQ(zun::ReadPdbRecord(reader, 0, attributes, record), 0);
  EXPECT_EQ(record, (Bytes{0xA0, 0xA1}));
  ASSERT_EQ(zun::ReadPdbRecord(reader, 1, attributes, record), 0);
  EXPECT_EQ(record, (Bytes{0xB0, 0xB1, 0xB2}));
  ASSERT_EQ(zun::ReadPdbRecord(reader, 2, attributes, record), 0);
  EXPECT_EQ(record, (Bytes{0xC0}));
}

TEST(PdbRead, HostileChainsAndOffsetsFailInsteadOfLooping) {
  zuntest::TempDir dir;
  Bytes file(90, 0);
  std::copy_n("TEXtREAd", 8, file.begin() + 60);
  file[72 + 3] = 72;  // the header list points at itself
  file[77] = 1;
  zuntest::WriteBytes(dir / "loop.pdb", file);
  auto loop = Open(dir / "loop.pdb");
  std::string creator, type;
  int32_t count = 0;
  EXPECT_THROW(zun::ReadPdbHeader(loop, creator, type, count), zun::FileError);
  uint8_t attributes = 0;
  Bytes record;
  EXPECT_EQ(zun::ReadPdbRecord(loop, 0, attributes, record), -1);

  file.resize(100, 0);
  file[72 + 3] = 0;
  file[77] = 2;
  file[78 + 3] = 99;  // record 0 behind record 1: negative length
  file[86 + 3] = 94;
  zuntest::WriteBytes(dir / "order.pdb", file);
  auto order = Open(dir / "order.pdb");
  EXPECT_EQ(zun::ReadPdbRecord(order, 0, attributes, record), -1);
  EXPECT_EQ(zun::ReadPdbRecord(order, 1, attributes, record), 0) << "last record runs to the end";

  file[78] = 0x7F;  // offset far beyond the end
  zuntest::WriteBytes(dir / "far.pdb", file);
  auto far = Open(dir / "far.pdb");
  EXPECT_EQ(zun::ReadPdbRecord(far, 0, attributes, record), -1);
}

TEST(PdbRead, LargeDocumentsReadInAnyOrderAndFailWhenTheyShrink) {
  // Records far apart, read forwards, backwards and again; then the file is cut short while open.
  zuntest::TempDir dir;
  std::vector<Bytes> records;
  for (uint32_t i = 0; i < 300; ++i) records.push_back(zuntest::RandomBytes(1000 + i * 7, i));
  WriteDatabase(dir / "big.pdb", "big", records);
  auto reader = Open(dir / "big.pdb");
  uint8_t attributes = 0;
  Bytes record;
  for (int32_t i : {0, 299, 1, 150, 298, 0, 299}) {
    ASSERT_EQ(zun::ReadPdbRecord(reader, i, attributes, record), 0) << i;
    EXPECT_EQ(record, records[static_cast<size_t>(i)]) << i;
  }
  ASSERT_EQ(::truncate((dir / "big.pdb").c_str(), 200000), 0);
  EXPECT_EQ(zun::ReadPdbRecord(reader, 10, attributes, record), 0) << "still in the file";
  EXPECT_EQ(zun::ReadPdbRecord(reader, 290, attributes, record), -1) << "cut off";
}

TEST(PdbRead, DocInfoChecks) {
  Bytes info = zun::MakeDocInfo(100, 2, true);
  uint8_t version = 0;
  int32_t records = 0;
  EXPECT_EQ(zun::ReadDocInfo(info, 3, version, records), 0);
  EXPECT_EQ(version, 2);
  EXPECT_EQ(records, 2);
  EXPECT_EQ(zun::ReadDocInfo(info, 2, version, records), -1) << "N equal to the record count";
  info[0] = 1;  // version 0x0102: only the low byte counts
  EXPECT_EQ(zun::ReadDocInfo(info, 3, version, records), 0);
  for (const uint8_t bad : {uint8_t{0}, uint8_t{3}}) {
    info[1] = bad;
    EXPECT_EQ(zun::ReadDocInfo(info, 3, version, records), -1) << int{bad};
  }
  info = zun::MakeDocInfo(100, 0, false);
  EXPECT_EQ(zun::ReadDocInfo(info, 3, version, records), -1) << "N = 0";
  info.resize(15);
  EXPECT_EQ(zun::ReadDocInfo(info, 3, version, records), -1) << "short record 0";
}

}  // namespace
