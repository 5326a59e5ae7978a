// Initialisation files on disk: read a key, update one key without losing anything else. POSIX file
// operations; the format itself is in ini_text.h.
#pragma once

#include <string>

// Returns the value of `key` in `section` of the file at `path` (ini_find's rules), or
// `default_text` cut to INI_VALUE_LIMIT characters when the file or the key is missing.
std::string ini_read_file(const std::string& path, const char* section, const char* key,
                          const char* default_text);

// Sets `key` in `section` of the file at `path` (ini_set's rules), creating the file with
// `new_file_mode` (less the umask) when it is missing; an existing file keeps its mode. Writers are
// serialised by an advisory lock on the file; the new text goes to a temporary file in the same
// folder, written out whole and renamed over the old one, so a reader never sees half a file.
// Returns false when the folder cannot be written; the old file is then unchanged.
bool ini_write_file(const std::string& path, const char* section, const char* key,
                    const char* value, unsigned new_file_mode);
