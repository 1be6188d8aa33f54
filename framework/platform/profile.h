#pragma once
// Private-profile (INI) files, read and written the way the Windows private-profile functions
// do it: sections and keys are case-insensitive (Latin and Cyrillic), values are code page 1251
// bytes on disk and in this API, and a missing file, section or key reads as the default.
//
// A file name without a directory part (such as "vexlo.INI") lives in profileDirectory();
// a name with a directory part is used as given. Names, like sections, keys and values, are
// code page 1251.
//
// Reading is cached per file and revalidated with stat() on every call, so a change made by
// another process (or by hand) is seen at once. Every write re-reads the file under an
// exclusive lock ("<file>.lock" beside it), changes it in memory and replaces it atomically
// (temporary file, fsync, rename): a crash never leaves a half-written file, and two writers
// never lose each other's keys.
//
// Damaged files never fail: lines that are neither a section header nor "key=value" are kept
// as they are and ignored; a header without ']' names the section by the rest of the line;
// of duplicate sections (and duplicate keys in a section) the first one counts; a value is cut
// at a NUL byte; CRLF and LF line ends are both read, and a rewritten file keeps its line ends.
// A file larger than kMaxProfileFileSize is not read (defaults) and not rewritten.

#include <QString>

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vx::platform {

inline constexpr std::size_t kMaxProfileFileSize = 16u << 20;

// The directory of profile files named without a path: $VEXLO_INI_DIR, else $XDG_CONFIG_HOME
// (when absolute), else ~/.config. It is created when a file in it is first written.
std::filesystem::path profileDirectory();
std::filesystem::path profilePath(std::string_view fileName);

// A profile file that exists but cannot be used (a directory, a file over kMaxProfileFileSize,
// no permission) reads as defaults and is not written; the handler is told so once per file, in
// Russian, for the user (default: a line on stderr). Setting a handler starts the telling anew.
void setProfileNoticeHandler(std::function<void(const QString&)> handler);

// The value of key in section, with surrounding blanks and one pair of matching quotes
// removed; defaultValue when the file, section or key is missing.
std::string getProfileString(std::string_view section, std::string_view key,
                             std::string_view defaultValue, std::string_view fileName);

// The value read as a decimal integer (optional sign, leading digits; 0 when it has none);
// defaultValue when the key is missing.
long getProfileInt(std::string_view section, std::string_view key, long defaultValue,
                   std::string_view fileName);

// Names of the sections, and of the keys of one section, in file order, first spelling kept.
std::vector<std::string> getProfileSectionNames(std::string_view fileName);
std::vector<std::string> getProfileKeyNames(std::string_view section, std::string_view fileName);

// Sets key in section to value, creating the file and the section when needed; with no value
// the key is removed. Line breaks in a value become blanks (a value cannot start a new line
// of the file). Returns false, changing nothing, for an empty or malformed section or key
// name (a key with '=', a section with ']', a line break) or when the file cannot be written.
bool writeProfileString(std::string_view section, std::string_view key,
                        std::optional<std::string_view> value, std::string_view fileName);

// Several keys of one section in one rewrite (a window's position and size on close).
using ProfileEntry = std::pair<std::string, std::optional<std::string>>;
bool writeProfileStrings(std::string_view section, const std::vector<ProfileEntry>& entries,
                         std::string_view fileName);

// Removes the section (every copy of it) with all its keys. A missing section is success.
bool deleteProfileSection(std::string_view section, std::string_view fileName);

// QString forms of the two main calls; the text is converted to and from code page 1251.
QString getProfileText(const QString& section, const QString& key, const QString& defaultValue,
                       const QString& fileName);
bool writeProfileText(const QString& section, const QString& key, const std::optional<QString>& value,
                      const QString& fileName);

}  // namespace vx::platform
