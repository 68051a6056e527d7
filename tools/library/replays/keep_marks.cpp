#include "library/replays/keep_marks.h"

#include <vector>

#include "platform/file_system.h"
#include "library/replays/files.h"
#include "library/text/folded_name.h"
#include "library/text/utf8_text.h"
#include "platform/game_paths.h"

namespace fs = std::filesystem;

const char ra_keep_file[] = "replays.keep";
const char ra_keep_lock_file[] = "replays.keep.lock";

namespace {

// The most a marks file may hold: one name a line, so tens of thousands of
// marks. A larger file is none of ours and is never read.
const uintmax_t ra_keep_file_max_bytes = 1 << 20;

// The marks file's text, when it is a plain file of a marks file's size.
// False with *why.
bool ra_marks_text(const fs::path &path, const fs::file_status &status, std::string *text,
                   std::string *why) {
    if (fs::is_symlink(status)) {
        *why = "it is a link, not a file";
        return false;
    }
    if (!fs::is_regular_file(status)) {
        *why = "it is not a file";
        return false;
    }
    std::error_code failed;
    uintmax_t size = fs::file_size(path, failed);
    if (failed) {
        *why = ra_reason(failed);
        return false;
    }
    // Checked again once read: the file may have grown meanwhile.
    if (size <= ra_keep_file_max_bytes && !ra_load_file(path, text, why)) return false;
    if (size > ra_keep_file_max_bytes || text->size() > ra_keep_file_max_bytes) {
        *why = "it holds more than " + std::to_string(ra_keep_file_max_bytes >> 20) +
               " MB, more than marks ever take";
        return false;
    }
    return true;
}

// The file's lines as text, without their line ends and blank lines;
// none when there is no file. False with *why when the file is there but
// cannot be read.
bool ra_mark_lines(const fs::path &dir, std::vector<std::string> *lines, std::string *why) {
    lines->clear();
    const fs::path path = dir / ra_keep_file;
    std::error_code failed;
    const fs::file_status status = fs::symlink_status(path, failed);
    if (status.type() == fs::file_type::not_found) return true;
    std::string text;
    if (failed) {
        *why = ra_reason(failed);
        return false;
    }
    if (!ra_marks_text(path, status, &text, why)) return false;
    for (const std::string &line : ra_text_lines(text)) {
        if (!line.empty()) lines->push_back(ra_own_file_text(line));
    }
    return true;
}

}  // namespace

bool ra_keep_marks::has(const std::string &file) const {
    return folded.count(ra_folded_name(file)) != 0;
}

ra_keep_marks ra_read_keep_marks(const fs::path &dir) {
    ra_keep_marks marks;
    std::string error;
    ra_load_keep_marks(dir, &marks, &error);
    return marks;
}

bool ra_load_keep_marks(const fs::path &dir, ra_keep_marks *marks, std::string *error) {
    marks->folded.clear();
    std::vector<std::string> lines;
    std::string why;
    if (!ra_mark_lines(dir, &lines, &why)) {
        *error = "cannot read the replays you keep, " + ra_text(dir / ra_keep_file) + ": " + why +
                 "; nothing was removed";
        return false;
    }
    for (const std::string &line : lines) marks->folded.insert(ra_folded_name(line));
    return true;
}

bool ra_lock_keep_marks(const fs::path &dir, ra_file_lock *lock, std::string *error) {
    const fs::path path = dir / ra_keep_lock_file;
    std::string why;
    if (lock->take(path, &why)) return true;
    *error = "cannot lock " + ra_text(path) + ", which guards the replays you keep: " + why;
    // Held by another of our programs: the library app, or a console's
    // keep or prune, is still at work.
    if (why == ra_file_lock_busy_reason()) {
        *error += " (the library app or another replay-autosave, marking or removing replays)";
    }
    *error += "; nothing changed, try again in a moment";
    return false;
}

bool ra_set_keep_mark(const fs::path &dir, const std::string &file, bool keep, std::string *error) {
    ra_file_lock lock;
    if (!ra_lock_keep_marks(dir, &lock, error)) return false;
    // Read again under the lock: another process may have changed the marks
    // since anyone here looked.
    const fs::path path = dir / ra_keep_file;
    std::vector<std::string> lines;
    std::string why;
    if (!ra_mark_lines(dir, &lines, &why)) {
        *error = "cannot read " + ra_text(path) + ": " + why + "; nothing changed";
        return false;
    }
    // prune may have removed the replay since the list showed it.
    std::error_code failed;
    if (keep && !fs::is_regular_file(dir / ra_path(file), failed)) {
        *error = "no replay " + file + " in " + ra_text(dir) + " any more; nothing was marked";
        return false;
    }
    std::string text;
    bool there = false;
    for (const std::string &line : lines) {
        if (ra_folded_name(line) == ra_folded_name(file)) {
            there = true;
            if (!keep) continue;
        }
        text += line + "\r\n";
    }
    if (keep == there) return true;
    if (keep) text += file + "\r\n";
    if (ra_save_file_atomically(path, text, &why)) return true;
    *error = "cannot write " + ra_text(path) + ": " + why;
    return false;
}

std::string ra_keep_said(const std::string &file, bool keep) {
    return keep ? file + " is kept: prune never removes it."
                : file + " is no longer kept: prune's policies apply to it again.";
}
