// File operations that say why the system refused them, in the player's
// words ("it is in use by another program", "access denied"), so that no
// failure is reported without its reason. One source per platform, chosen
// by the build: file_system_win.cpp (the Win32 functions and their error
// codes: the C++ library loses the reason there), file_system_posix.cpp.
#pragma once

#include <filesystem>
#include <string>
#include <system_error>

// Copies from to `to`; with replace false an existing `to` is never
// replaced. False with *why on failure.
bool ra_copy_file(const std::filesystem::path &from, const std::filesystem::path &to, bool replace,
                  std::string *why);

// Renames from to `to` in one step, replacing `to`. False with *why.
bool ra_move_file(const std::filesystem::path &from, const std::filesystem::path &to,
                  std::string *why);

// The whole of a file. False with *why.
bool ra_load_file(const std::filesystem::path &path, std::string *bytes, std::string *why);

// Writes the whole text as the file, replacing it. False with *why.
bool ra_save_file(const std::filesystem::path &path, const std::string &bytes, std::string *why);

// The player's words for a system error code: Win32's on Windows, errno's
// elsewhere.
std::string ra_error_reason(unsigned long code);

// The player's words for a failure std::filesystem reported.
std::string ra_reason(const std::error_code &failed);

// Writes the whole text as a new file at path, which must not be there yet:
// the system makes the file or fails, so an existing file, a link or a
// folder of that name is never opened, followed or replaced. The bytes are
// flushed to the disk before the file is closed. False with *why; a file
// made part-way is removed.
bool ra_create_new_file(const std::filesystem::path &path, const std::string &bytes,
                        std::string *why);

// Renames from to `to` in one step, replacing `to`, as ra_move_file does;
// where the system refuses to replace a file that another program has open
// (Windows: a reader of `to`), tries again for a moment first. False with
// *why.
bool ra_replace_file(const std::filesystem::path &from, const std::filesystem::path &to,
                     std::string *why);
