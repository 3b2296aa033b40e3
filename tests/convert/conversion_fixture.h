// What the conversion tests share: a text and a document side by side, a conversion run on them,
// and a look at what a document stores.
#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <utility>

#include "convert/document_to_text.h"
#include "convert/status_texts.h"
#include "convert/text_to_document.h"
#include "pdb/pdb_file.h"
#include "support/test_support.h"
#include "tasks/task_run.h"

namespace zuntest {

class ConversionTest : public ::testing::Test {
 protected:
  ConversionSetup s;
  std::string text = s.files / "notes.txt";
  std::string document = s.files / "notes.pdb";
  std::string handheldCharset = zun::kDefaultHandheldCharset;
  zun::DataFile* dataFile = nullptr;  // where "do not ask again" is stored
  zun::FailureReason failure;         // why the last conversion failed
  bool keepBases = false;             // as a run of the task list: bases, and the Trash in s.dataHome
  bool useTrash = false;

  // A task between `text` and `document` as zundoc makes it, with the given options set.
  zun::TaskRecord Task(zun::TaskAction action, std::initializer_list<std::pair<int, bool>> options = {}) const {
    zun::TaskRecord task = s.Task(action, text, document);
    for (const auto& [option, on] : options) task.Options.SetAt(static_cast<size_t>(option), on ? '1' : '0');
    return task;
  }
  // Runs the task as a run would; the task as it ends.
  zun::TaskRecord Run(zun::TaskRecord task) {
    zun::ConversionEnv env = s.Env();
    env.handheldCharset = handheldCharset;
    env.data = dataFile;
    env.keepBases = keepBases;
    env.useTrash = useTrash;
    zun::CarryOutTask(task, env);
    failure = env.failure;
    return task;
  }
  std::string Status(const zun::TaskRecord& task) { return Run(task).Status.Trimmed(); }
  // Runs the task in place, as the next run would; its status.
  std::string Sync(zun::TaskRecord& task) {
    task = Run(task);
    return task.Status.Trimmed();
  }
  // The handheld's edit: the document written anew with `documentText` (from UTF-8 into the
  // handheld's set when `throughCharset`).
  void HandheldWrites(const std::string& documentText, bool throughCharset = false) {
    WriteDocument(document, documentText, throughCharset ? handheldCharset : "");
  }
  // The text `document` holds, byte for byte as stored (decompressed, no character set applied).
  Bytes DocumentBytes() const { return AsBytes(DecodedText(document)); }
  bool NoTemporaryFiles() const { return std::filesystem::is_empty(s.programDir.Path()); }
};

}  // namespace zuntest
