// The initialisation-file format as text: looking a key up and setting one key, keeping every other
// line as it stands. Plain C++17, no OS header; the file operations are in posix_ini_file.h.
//
// The format: "[section]" header lines, then "key=value" lines. Section and key names match without
// regard to ASCII case; names and values are trimmed of blanks; a value enclosed in a matching pair
// of quotes loses them; the first occurrence of a key wins, also across repeated sections; lines
// that are neither headers nor key lines (comments, junk) are kept and never matched. A UTF-8
// byte-order mark before the first line is skipped by the reader and kept by the update. Both scan
// the text line by line in memory that does not grow with it; a lookup stops at the first match.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The longest value a reader returns: the platform's 260-character buffer less its terminating
// zero.
constexpr std::size_t INI_VALUE_LIMIT = 259;

// Finds `key` in `section` of the text. Returns true and stores the value (trimmed, unquoted, cut
// to INI_VALUE_LIMIT characters) when the key is present; an empty value gives "".
bool ini_find(std::string_view text, std::string_view section, std::string_view key,
              std::string* value);

// Returns the text with `key` in `section` set to `value`. The key's first occurrence is rewritten
// in place; a missing key is added after the last key line of the section's first occurrence; a
// missing section is appended. All other lines, and the text's line ending style, are kept. A value
// is cut at its first line break, since the format has no way to hold one.
std::string ini_set(std::string_view text, std::string_view section, std::string_view key,
                    std::string_view value);
