// Debian's txt2pdbdoc reads our documents (its documents are read by the codec's tests).
#include <gtest/gtest.h>

#include <cstdlib>

#include "convert/conversion_fixture.h"

namespace {

class Peer : public zuntest::ConversionTest {
 protected:
  void SetUp() override {
    if (std::system("command -v txt2pdbdoc >/dev/null 2>&1") != 0) GTEST_SKIP() << "txt2pdbdoc is not installed";
  }
};

TEST_F(Peer, DecodesOurDocuments) {
  // Dense 8-bit text needs more room than the text itself: every 8 bytes take 9.
  const zuntest::Bytes random = zuntest::RandomBytes(10000, 5, 128);
  std::string dense(random.begin(), random.end());
  for (char& c : dense) c = static_cast<char>(c | 0x80);
  for (const std::string& content : {zuntest::ProseText(30000, 1), std::string(5000, 'a'),
                                     zuntest::ReadText(zuntest::TestData("gpl3.txt")), dense}) {
    zuntest::WriteText(text, content);
    ASSERT_EQ(Status(Task(zun::TaskAction::PcToPalm, {{zun::kOptRaw, true}})), "OK");
    const std::string command = "cd '" + s.files.Path() + "' && txt2pdbdoc -d notes.pdb back.txt >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);  // binary-safe: records written unchanged
    EXPECT_EQ(zuntest::ReadText(s.files / "back.txt"), content);
  }
}

}  // namespace
