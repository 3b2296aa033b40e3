// Path helpers shared by every part of the program. They split at the platform's separator only.
#pragma once
#include <string>
#include <string_view>

namespace zun {

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// The text after the last separator; the whole text when there is none.
std::string PathFileName(std::string_view path);
// The path less its file name, trailing separator kept; empty for a bare name.
std::string PathDirectory(std::string_view path);
// The text before the last "." anywhere in the text; the whole text when there is none.
std::string PathWithoutExtension(std::string_view name);
// The text from the last "." on, dot included; empty when there is none.
std::string PathExtension(std::string_view name);

std::string TrimTrailingBlanks(std::string_view text);

// Where documents go when no folder is known: the user's home directory with a trailing separator.
std::string FallbackFolder();
// The current directory followed by the separator.
std::string CurrentDirectoryWithSeparator();
// `path` made absolute against the current directory (no symbolic links resolved).
std::string AbsolutePath(std::string_view path);

}  // namespace zun

namespace zun {
// The first bytes of `text` up to `maxBytes`, never ending inside a UTF-8 character; bytes that
// are no UTF-8 character are whole characters of their own.
std::string CutAtCharacterBoundary(std::string_view text, size_t maxBytes);
}  // namespace zun
