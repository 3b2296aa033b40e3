// Debian's txt2pdbdoc reads our documents, and we read its documents.
#include <gtest/gtest.h>

#include <cstdlib>

#include "convert/document_to_text.h"
#include "convert/text_to_document.h"
#include "support/test_support.h"

namespace {

bool HavePeer() { return std::system("command -v txt2pdbdoc >/dev/null 2>&1") == 0; }

std::string Quote(const std::string& path) {
  std::string quoted(1, '\'');
  quoted.append(path).push_back('\'');
  return quoted;
}

class Peer : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HavePeer()) GTEST_SKIP() << "txt2pdbdoc is not installed";
  }
  zuntest::ConversionSetup s;
};

TEST_F(Peer, DecodesOurDocuments) {
  // Binary-safe text: txt2pdbdoc -d writes records unchanged.
  // Dense 8-bit text needs more room than the text itself: every 8 bytes take 9.
  const zuntest::Bytes random = zuntest::RandomBytes(10000, 5, 128);
  std::string dense(random.begin(), random.end());
  for (char& c : dense) c = static_cast<char>(c | 0x80);
  const std::vector<std::string> texts = {zuntest::ProseText(30000, 1), std::string(5000, 'a'),
                                          zuntest::ReadText(zuntest::TestData("gpl3.txt")), dense};
  for (size_t i = 0; i < texts.size(); ++i) {
    const std::string text = s.files / ("t" + std::to_string(i) + ".txt");
    const std::string document = s.files / ("t" + std::to_string(i) + ".pdb");
    zuntest::WriteText(text, texts[i]);
    zun::TaskRecord task = s.Task(zun::TaskAction::PcToPalm, text, document);
    task.Options.SetAt(zun::kOptRaw, '1');
    zun::ConversionEnv env = s.Env();
    zun::ConvertTextToDocument(task, env);
    ASSERT_EQ(task.Status.Trimmed(), "OK");
    const std::string back = s.files / ("back" + std::to_string(i) + ".txt");
    ASSERT_EQ(std::system(("txt2pdbdoc -d " + Quote(document) + " " + Quote(back) + " >/dev/null").c_str()), 0);
    EXPECT_EQ(zuntest::ReadText(back), texts[i]) << i;
  }
}

TEST_F(Peer, ReadsItsDocuments) {
  const std::string text = s.files / "prose.txt";
  const std::string content = zuntest::ProseText(50000, 2);
  zuntest::WriteText(text, content);
  const std::string document = s.files / "peer.pdb";
  ASSERT_EQ(std::system(("txt2pdbdoc -b peer " + Quote(text) + " " + Quote(document)).c_str()), 0);
  zun::TaskRecord task = s.Task(zun::TaskAction::PalmToPc, s.files / "ours.txt", document);
  zun::ConversionEnv env = s.Env();
  zun::ConvertDocumentToText(task, env);
  ASSERT_EQ(task.Status.Trimmed(), "OK");
  EXPECT_EQ(zuntest::ReadText(s.files / "ours.txt"), content);
}

}  // namespace
