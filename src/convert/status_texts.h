// Every outcome of a task is one of these texts in its Status field.
#pragma once

namespace zun::status {

inline constexpr const char* kOk = "OK";
inline constexpr const char* kCouldNotOpen = "Error: Could not open Palm or PC File";
inline constexpr const char* kNoSourceUser = "Error: no source user (or custom) selected";
inline constexpr const char* kNoUser = "Error: no user (or custom) selected";
inline constexpr const char* kNoPcFile = "Error: no PC File selected";
inline constexpr const char* kNoPalmFile = "Error: no Palm File selected";
inline constexpr const char* kPcFileMissing = "Error: PC File does not exist";
inline constexpr const char* kPalmFileMissing = "Error: Palm File does not exist";
inline constexpr const char* kBothMissing = "Error: PC File and Palm File does not exist";
inline constexpr const char* kPcFileEmpty = "Error: PC File is empty";
inline constexpr const char* kCannotCreateHeader = "Error: can't create header of Palm File";
inline constexpr const char* kCannotWriteDocInfo = "Error: could not write Palm File docinfo";
inline constexpr const char* kCannotWriteRecord = "Error: could not write Palm File record";
inline constexpr const char* kBadHeader = "Error: unknown or corrupted Palm File header";
inline constexpr const char* kUnsupportedType = "Error: Palm File type or creator not supported";
inline constexpr const char* kWrongFormat = "Error: Palm File corrupt or wrong format";
inline constexpr const char* kNoDocInfo = "Error: could not get DocInfo of Palm File";
inline constexpr const char* kUnknownDocInfo = "Error: DocInfo in Palm File unknown";
inline constexpr const char* kCorrupt = "Error: Palm File corrupt";
inline constexpr const char* kDataFolderFile = "Error: file belongs to ZUN2's data folder";
inline constexpr const char* kPlantedLink = "Error: link of another user in a shared folder";
// A user's install list holds one path a line: a path with a line break cannot be queued.
inline constexpr const char* kLineBreakInPath = "Error: Palm File path has a line break";
inline constexpr const char* kTrashFailed = "Error: could not put the old file into the Trash";
inline constexpr const char* kNoUpdateNecessary = "No update necessary";
inline constexpr const char* kUserSkippedTask = "User skipped task";
inline constexpr const char* kUserStopped = "User stopped conversion";
inline constexpr const char* kUserSkippedDistribution = "User skipped distribution";
inline constexpr const char* kClipboardEmpty = "clipboard was empty";

}  // namespace zun::status
