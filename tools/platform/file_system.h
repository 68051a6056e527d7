// File operations that say why the system refused them, in the player's
// words ("it is in use by another program", "access denied"), so that no
// failure is reported without its reason. One source per platform, chosen
// by the build: platform/win/file_system.cpp (the Win32 functions and their
// error codes: the C++ library loses the reason there),
// platform/linux/file_system.cpp.
#pragma once

#include <stdint.h>

#include <filesystem>
#include <functional>
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

// The first n bytes of a file (all of it when it is shorter), read as
// another program may be reading or writing it. False with *why.
bool ra_load_file_start(const std::filesystem::path &path, size_t n, std::string *bytes,
                        std::string *why);

// The whole of a plain file of at most max bytes, opened without following
// a link: a link (on Windows any reparse point), a folder or a bigger file
// is refused. False with *why.
bool ra_load_plain_file(const std::filesystem::path &path, uintmax_t max, std::string *bytes,
                        std::string *why);

// The same file handed to each a piece at a time, so that a big one is
// never in memory whole; each returns false to stop the read (then false,
// *why untouched). False with *why.
bool ra_read_plain_file(const std::filesystem::path &path, uintmax_t max,
                        const std::function<bool(const char *data, size_t size)> &each,
                        std::string *why);

// Writes the whole text as the file, replacing it. False with *why.
bool ra_save_file(const std::filesystem::path &path, const std::string &bytes, std::string *why);

// Creates path as a new file holding bytes, written to the disk. Anything
// already of that name (a file, a folder, a link, even one that points
// nowhere) makes it fail, so that nothing is ever written through a link
// planted there; a file it created and could not fill is removed again.
// False with *why.
bool ra_create_new_file(const std::filesystem::path &path, const std::string &bytes,
                        std::string *why);

// Writes one piece at the file's end; false when the disk refused it.
using ra_put_bytes = std::function<bool(const char *data, size_t size)>;
// Gives the file its bytes through put; false to give up.
using ra_file_filler = std::function<bool(const ra_put_bytes &put)>;
// When a new file's bytes are on the disk.
enum class ra_file_sync {
    now,    // before ra_create_new_file_with returns
    later,  // once ra_sync_new_files of its folder returned true: many files
            // written at once cost one flush, not one each
};
// The same, the bytes given a piece at a time by fill, so that a big file
// is never in memory whole; with owner_only it is readable and writable by
// this user alone from the moment it exists. A file that fill gave up on is
// removed; then false, with *why only where the disk refused a piece.
bool ra_create_new_file_with(const std::filesystem::path &path, const ra_file_filler &fill,
                             bool owner_only, std::string *why,
                             ra_file_sync sync = ra_file_sync::now);

// Puts on the disk the files made in folder with ra_file_sync::later, and
// the folder's names of them: nothing may be renamed to one before. False
// with *why.
bool ra_sync_new_files(const std::filesystem::path &folder, std::string *why);

// What a name in a folder is, the name itself and never what a link at it
// points to: on Windows every reparse point (a symbolic link, a junction)
// counts as a link.
enum class ra_entry_kind {
    none,    // nothing of that name (or it cannot be looked at)
    file,    // a plain regular file
    folder,  // a plain folder
    link,    // a link to something else, whatever it points to
    other,   // a device, a pipe, a socket
};
ra_entry_kind ra_entry_kind_of(const std::filesystem::path &path);

// What a name is, with a plain file's size and last write time (in the
// file system's own count, for comparing alone): what the library's index
// compares each file of Dir by.
struct ra_entry_facts {
    ra_entry_kind kind = ra_entry_kind::none;
    uint64_t size = 0;
    int64_t written = 0;
};

// The facts of one name itself, never of what a link at it points to; kind
// none when there is nothing of that name. The time is the file system's
// own, to the tenth of a microsecond on Windows (the C++ library's there
// counts whole seconds, so two writes in one second looked the same).
ra_entry_facts ra_entry_facts_of(const std::filesystem::path &path);

// How much of each entry ra_folder_entries must tell.
enum class ra_entry_detail {
    all,   // the kind, the size and the time
    kind,  // the kind alone: size and time may stay 0 (where the folder
           // itself tells each kind, no name is looked at on its own)
};

// Each entry of a folder but "." and "..": its name alone, as ra_text
// gives it, and the facts of the name itself, read with the folder where
// the system gives them so (Windows), else by one look at each name
// relative to the open folder. False when the folder cannot be read.
bool ra_folder_entries(
    const std::filesystem::path &dir,
    const std::function<void(const std::string &name, const ra_entry_facts &facts)> &each,
    ra_entry_detail detail = ra_entry_detail::all);

// The player's words for a system error code: Win32's on Windows, errno's
// elsewhere.
std::string ra_error_reason(unsigned long code);

// The player's words for a failure std::filesystem reported.
std::string ra_reason(const std::error_code &failed);

// Renames from to `to` in one step, replacing `to`, as ra_move_file does;
// where the system refuses to replace a file that another program has open
// (Windows: a reader of `to`), tries again for a moment first. False with
// *why.
bool ra_replace_file(const std::filesystem::path &from, const std::filesystem::path &to,
                     std::string *why);

// Renames from (a file or a folder) to `to` in one step, never replacing
// anything of that name: then it fails. False with *why.
bool ra_move_new(const std::filesystem::path &from, const std::filesystem::path &to,
                 std::string *why);
