// The record codec: round trips, the output bound, hostile input, records of other writers. How
// the two decoders agree on any bytes is left to the decompress fuzzer, how well it compresses to
// the benchmark.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "support/test_support.h"
#include "zun2/zun2.h"

using zuntest::Bytes;

namespace {

// Exactly the buffer the conversion gives the compressor, so a sanitizer sees any byte past it.
Bytes Encode(const Bytes& text) {
  const int32_t size = static_cast<int32_t>(text.size());
  Bytes out(static_cast<size_t>(CompressBound(size)));
  const int32_t n = Compress(out.data(), text.data(), size);
  EXPECT_TRUE(n >= 0 && n <= CompressBound(size)) << "output bound";
  out.resize(static_cast<size_t>(std::max(n, 0)));
  return out;
}

// Decodes with the size GetUncompSize reports; -1 when the record is malformed.
int32_t Decode(const Bytes& record, Bytes& text) {
  const int32_t size = GetUncompSize(record.data(), static_cast<int32_t>(record.size()));
  if (size < 0) return -1;
  text.assign(static_cast<size_t>(size), 0);
  return DeCompress(text.data(), record.data(), size);
}

// Decodes the record as the conversion does, and a copy at another address as a caller that
// never asked GetUncompSize would.
void ExpectRoundTrip(const Bytes& text) {
  const Bytes record = Encode(text);
  Bytes back;
  ASSERT_EQ(Decode(record, back), static_cast<int32_t>(text.size()));
  EXPECT_EQ(back, text);
  // The copy's address is the point: the decoder has not seen it.
  // NOLINTNEXTLINE(performance-unnecessary-copy-initialization)
  const Bytes copy = record;
  Bytes fresh(text.size() + 1, 0xEE);
  ASSERT_EQ(DeCompress(fresh.data(), copy.data(), static_cast<int32_t>(text.size())),
            static_cast<int32_t>(text.size()));
  EXPECT_EQ(Bytes(fresh.begin(), fresh.end() - 1), text);
  EXPECT_EQ(fresh.back(), 0xEE) << "nothing written past the size";
}

TEST(Codec, RoundTripsEveryKindOfText) {
  std::vector<Bytes> texts;
  for (size_t size : {size_t{0}, size_t{1}, size_t{2}, size_t{3}, size_t{4095}, size_t{4096}}) {
    texts.push_back(zuntest::RandomBytes(size, 7));
    texts.push_back(zuntest::AsBytes(zuntest::ProseText(size, 3)));
  }
  for (uint32_t seed = 0; seed < 200; ++seed)
    texts.push_back(zuntest::RandomBytes(1 + seed * 20, seed, seed % 2 ? 4 : 256));
  const Bytes dense = zuntest::IncompressibleBytes(4096);
  EXPECT_EQ(Encode(dense).size(), 4608u) << "every 8 bytes take 9: the bound, more than a slack of 500";
  Bytes low = dense;  // bytes 1-8, which also travel in literal runs
  for (uint8_t& b : low) b = static_cast<uint8_t>(1 + b % 8);
  // Spaces before every byte, those that pair (0x40-0x7F) and those that do not.
  Bytes all, spaced;
  for (int c = 0; c < 256; ++c) {
    all.push_back(static_cast<uint8_t>(c));
    if (spaced.size() < 4094) spaced.insert(spaced.end(), {' ', static_cast<uint8_t>(c)});
  }
  // Each record stands alone: a short record after a long one with the same bytes must not reach
  // into the long one.
  const Bytes prose = zuntest::AsBytes(zuntest::ProseText(4096, 9));
  texts.insert(texts.end(), {dense, low, all, spaced, Bytes(4096, 'a'), Bytes(900, 'a'), prose,
                             Bytes(prose.begin() + 100, prose.begin() + 700), Bytes(4096, 0x80), Bytes(4096, ' '),
                             Bytes(4096, 0x01), zuntest::AsBytes("x  @ A  ~\x7f \x80 \x3f  ")});
  // Repeats exactly at and just past the longest distance.
  for (size_t distance : {size_t{2046}, size_t{2047}, size_t{2048}}) {
    texts.push_back(zuntest::RandomBytes(distance, 11));
    const Bytes again = texts.back();
    texts.back().insert(texts.back().end(), again.begin(), again.end());
  }
  for (size_t i = 0; i < texts.size(); ++i) {
    SCOPED_TRACE(i);
    ExpectRoundTrip(texts[i]);
  }
}

TEST(Codec, RejectsMalformedRecordsWithoutReadingPastThemAndDecodesHugeOnes) {
  Bytes text;
  EXPECT_EQ(Decode(Bytes{'a', 0x80}, text), -1) << "pair cut off at the end";
  EXPECT_EQ(Decode(Bytes{0x05, 'a', 'b'}, text), -1) << "literal run longer than the record";
  EXPECT_EQ(Decode(Bytes{'a', 'b', 0x80, 0x03}, text), -1) << "distance 0";
  EXPECT_EQ(Decode(Bytes{'a', 'b', 0x80, 0x18}, text), -1) << "distance 3 with 2 bytes produced";
  EXPECT_EQ(Decode(Bytes{'a', 'b', 0x80, 0x10}, text), 5) << "distance 2 is fine";
  EXPECT_EQ(std::string(text.begin(), text.end()), "ababa");
  // Over a megabyte of tokens is counted first and decoded on request.
  Bytes record;
  for (int i = 0; i < (1 << 20) / 4 + 10; ++i) record.insert(record.end(), {0x02, 'a', 'b', 0xC1});
  record.insert(record.end(), {0x80, 0x0F});  // distance 1, length 10
  ASSERT_EQ(Decode(record, text), static_cast<int32_t>(record.size() - 2 + 10));
  EXPECT_EQ(std::string(text.end() - 13, text.end()), "b AAAAAAAAAAA");
  record.push_back(0x80);  // a pair cut off
  EXPECT_EQ(GetUncompSize(record.data(), static_cast<int32_t>(record.size())), -1);
}

TEST(Codec, DecodesTheRecordsOfOtherWriters) {
  for (const char* name : {"gpl3.calibre.pdb", "gpl3.txt2pdbdoc.pdb", "run54.txt2pdbdoc.pdb"}) {
    SCOPED_TRACE(name);
    const std::vector<zuntest::StoredRecord> records = zuntest::StoredRecords(zuntest::TestData(name));
    Bytes all;
    for (size_t i = 1; i < records.size(); ++i) {
      Bytes text;
      ASSERT_GE(Decode(records[i].bytes, text), 0);
      all.insert(all.end(), text.begin(), text.end());
    }
    const std::string expected = std::string(name).starts_with("run54") ? "run54.txt" : "gpl3.txt";
    EXPECT_EQ(all, zuntest::ReadBytes(zuntest::TestData(expected)));
  }
}

}  // namespace
