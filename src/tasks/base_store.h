// The base of a task: what its last conversion left on both sides, kept privately in the data
// folder. It is the common ancestor of a three-way merge when both sides changed, and it tells a
// run whether a file it is about to replace still holds what the task wrote or read last.
//
// A base is keyed by the task's PC file and the document at its first target (the one a both-ways
// run reads), so it follows the task through the list and never pairs the PC file with another
// document: a task whose names or first target change has none until its next conversion.
#pragma once
#include <functional>
#include <optional>
#include <string>

#include "hotsync/user_manager.h"
#include "record/data_file.h"

namespace zun {

// The bases lie in the data folder's kBaseFolderName, private (0700), as are their files (0600).

struct Base {
  std::string pcText;        // the PC file's bytes
  std::string documentText;  // the document's text as its records hold it, decompressed
};

// The document a task's base pairs with its PC file: the Palm file at the first checked target;
// empty when none is checked.
std::string BaseDocument(UserManager& users, const TargetChecks& checks, const std::string& palmFile);

// The file name of the base of the task with this PC file and this document.
std::string BaseKey(const std::string& pcFile, const std::string& document);

// The base of the task with these files in the data folder `programDir` (with its trailing
// separator); nothing when there is none, or it is damaged or belongs to other files.
// `between` is called after each megabyte read.
std::optional<Base> LoadBase(
    const std::string& programDir, const std::string& pcFile, const std::string& document,
    const std::function<void()>& between = [] {});
// Puts `base` in place of the old one in one step, calling `between` after each megabyte written;
// throws FileError.
void StoreBase(
    const std::string& programDir, const std::string& pcFile, const std::string& document, const Base& base,
    const std::function<void()>& between = [] {});
void RemoveBase(const std::string& programDir, const std::string& pcFile, const std::string& document);

// Removes every base in `programDir` that belongs to no task of the data file (its targets taken
// from the users of `users`).
void ForgetUnnamedBases(const DataFile& data, const std::string& programDir, UserManager& users);

}  // namespace zun
