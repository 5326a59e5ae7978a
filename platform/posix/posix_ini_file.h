// Initialisation files on disk: read a key, update one key without losing anything else. POSIX file
// operations; the format itself is in ini_text.h.
//
// Only regular files of at most INI_FILE_LIMIT bytes are read: a FIFO, a device or a folder is
// refused without blocking on it, and memory stays proportional to the file. Updates never write
// through a symbolic link at the path, create the file only where nothing is, and wait for another
// writer's lock for 2 s at most. No memory shortage escapes as an exception.
#pragma once

#include <cstddef>
#include <string>

// The largest file read or updated: 1 MiB.
constexpr std::size_t INI_FILE_LIMIT = 1u << 20;

// Returns the value of `key` in `section` of the file at `path` (ini_find's rules), or
// `default_text` cut to INI_VALUE_LIMIT characters when the file or the key is missing or the file
// cannot be read. With `error`, stores 0 when the file was read or is missing, else the errno of
// why it could not be (ini_failure_reason).
std::string ini_read_file(const std::string& path, const char* section, const char* key,
                          const char* default_text, int* error = nullptr);

// Sets `key` in `section` of the file at `path` (ini_set's rules), creating the file with
// `new_file_mode` (less the umask) when nothing is at the path; an existing file keeps its mode.
// Writers are serialised by an advisory lock on the file; the new text goes to a temporary file in
// the same folder, written out whole and renamed over the old one, so a reader never sees half a
// file, and each successful update leaves a new file. Returns false with errno set when the file
// cannot be updated (a symbolic link at the path: ELOOP; another writer's lock held for 2 s:
// EWOULDBLOCK); the old file is then unchanged.
bool ini_write_file(const std::string& path, const char* section, const char* key,
                    const char* value, unsigned new_file_mode);

// Returns why a read or update failed with errno `error`, as a few words for a message.
std::string ini_failure_reason(int error);
