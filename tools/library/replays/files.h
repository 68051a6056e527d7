// Small file helpers the companion's jobs share.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

// The whole of a regular file; false when it is no file or cannot be read,
// with the reason in *why when why is given.
bool ra_read_file(const std::filesystem::path &path, std::string *bytes,
                  std::string *why = nullptr);

// The lines of a text, without their ends (LF or CR LF).
std::vector<std::string> ra_text_lines(const std::string &text);

// True when both are regular files with the same bytes.
bool ra_same_bytes(const std::filesystem::path &a, const std::filesystem::path &b);

// A new temporary's name beside path ("<name>.<random>.tmp", which nobody
// can guess and no list shows); false when the system gives no random bytes.
bool ra_temporary_beside(const std::filesystem::path &path, std::filesystem::path *temporary);

// Writes the whole text as the file at path in one step: into a new
// temporary file beside it ("<name>.<random>.tmp", a name nobody can guess,
// made by this call alone), which is then renamed over the old file. A
// reader sees the old file or the new one, never a part of either, and a
// crash leaves the old one whole. False with *why; the temporary is then
// gone.
bool ra_save_file_atomically(const std::filesystem::path &path, const std::string &bytes,
                             std::string *why);
