// The base of a task: what its last conversion left on both sides, kept privately in the data
// folder. It is the common ancestor of a three-way merge when both sides changed, and it tells a
// run whether a file it is about to replace still holds what the task wrote or read last.
//
// A base is keyed by the task's two names (PcFile and PalmFile, trailing blanks removed), so it
// follows the task through the list; a task whose names change has none until its next conversion.
#pragma once
#include <functional>
#include <optional>
#include <string>

#include "record/data_file.h"

namespace zun {

// The bases lie in the data folder's kBaseFolderName, private (0700), as are their files (0600).

struct Base {
  std::string pcText;        // the PC file's bytes
  std::string documentText;  // the document's text as its records hold it, decompressed
};

// The file name of the base of the task that names these files.
std::string BaseKey(const std::string& pcFile, const std::string& palmFile);

// The base of the task naming these files in the data folder `programDir` (with its trailing
// separator); nothing when there is none, or it is damaged or belongs to other names.
// `between` is called after each megabyte read.
std::optional<Base> LoadBase(
    const std::string& programDir, const std::string& pcFile, const std::string& palmFile,
    const std::function<void()>& between = [] {});
// Puts `base` in place of the old one in one step, calling `between` after each megabyte written;
// throws FileError.
void StoreBase(
    const std::string& programDir, const std::string& pcFile, const std::string& palmFile, const Base& base,
    const std::function<void()>& between = [] {});
void RemoveBase(const std::string& programDir, const std::string& pcFile, const std::string& palmFile);

// Removes every base in `programDir` that no task of the data file names.
void ForgetUnnamedBases(const DataFile& data, const std::string& programDir);

}  // namespace zun
