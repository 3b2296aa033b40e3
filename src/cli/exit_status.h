// zundoc's exit statuses.
#pragma once

namespace zundoc {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // a conversion or a task failed, or a file could not be used
inline constexpr int kExitUsage = 2;
inline constexpr int kExitFolderInUse = 3;  // another ZUN2 (a window or a run) holds the data folder

}  // namespace zundoc
