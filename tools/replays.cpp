// Joining the record file and the files of Dir.
#include "replays.h"

#include <algorithm>
#include <map>
#include <system_error>

#include "file_system.h"
#include "game_paths.h"
#include "naming/naming.h"
#include "settings/settings.h"

namespace {

// Names as Windows compares them: ASCII letters folded.
std::string ra_folded(const std::string &name) {
    std::string folded = name;
    for (char &c : folded) c = c >= 'a' && c <= 'z' ? (char)(c - 'a' + 'A') : c;
    return folded;
}

}  // namespace

bool ra_replay_name(const std::string &name) {
    const size_t ext = sizeof RA_REPLAY_EXT - 1;
    return name.size() > ext && ra_ieq(name.c_str() + name.size() - ext, RA_REPLAY_EXT);
}

bool ra_list_replays(const std::filesystem::path &dir, const std::string &shown,
                     ra_replay_list *out, std::string *error) {
    *out = ra_replay_list();
    std::error_code failed;
    if (!std::filesystem::is_directory(dir, failed)) {
        *error = "the save folder " + shown +
                 " does not exist: no replay has been saved yet, or Dir in replay_autosave.ini "
                 "names another folder";
        return false;
    }
    // The replay files of Dir, by folded name.
    std::map<std::string, std::filesystem::path> files;
    std::filesystem::directory_iterator it(dir, failed), end;
    for (; !failed && it != end; it.increment(failed)) {
        std::string name = ra_text(it->path().filename());
        std::error_code not_file;
        if (ra_replay_name(name) && it->is_regular_file(not_file)) {
            files.emplace(ra_folded(name), it->path());
        }
    }
    if (failed) {
        *error = "cannot read the save folder " + shown + ": " + ra_reason(failed);
        return false;
    }

    ra_read_records(dir, ra_text(dir / ra_records_file), &out->records);
    // The latest line for each name claims the file.
    std::map<std::string, size_t> claim;
    const std::vector<ra_record> &lines = out->records.lines;
    for (size_t i = 0; i < lines.size(); ++i) claim[ra_folded(lines[i].file)] = i;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string folded = ra_folded(lines[i].file);
        ra_replay replay;
        replay.file = lines[i].file;
        replay.when = lines[i].saved;
        replay.record = lines[i];
        if (files.count(folded) == 0) {
            replay.state = ra_replay_state::missing;
        } else if (claim[folded] != i) {
            replay.state = ra_replay_state::replaced;
        } else {
            replay.file = ra_text(files[folded].filename());
        }
        out->replays.push_back(replay);
    }
    for (const auto &file : files) {
        if (claim.count(file.first) != 0) continue;
        ra_replay replay;
        replay.file = ra_text(file.second.filename());
        // A time stamp that cannot be read sorts the file last.
        ra_file_time(file.second, &replay.when);
        out->replays.push_back(replay);
    }
    // Newest first; of equal times the later record line, then by name.
    std::stable_sort(out->replays.begin(), out->replays.end(),
                     [](const ra_replay &a, const ra_replay &b) {
                         if (!(a.when == b.when)) return b.when < a.when;
                         int line_a = a.record ? a.record->line : 0;
                         int line_b = b.record ? b.record->line : 0;
                         if (line_a != line_b) return line_a > line_b;
                         return a.file < b.file;
                     });
    return true;
}
