// The replays in Dir as the companion shows them: every saved file with the
// record line that names it, files that no line names (listed from their
// name and time stamp), and record lines whose file is gone.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "local_time.h"
#include "records.h"

enum class ra_replay_state {
    saved,     // the file is in Dir
    missing,   // a record line names it, but the file is gone
    replaced,  // the file is there, but a later race was saved under its name
};

struct ra_replay {
    std::string file;  // name in Dir
    ra_time when;      // saved time of its record line, else the file's time stamp
    std::optional<ra_record_entry> record;  // the line that names it, if any
    ra_replay_state state = ra_replay_state::saved;
};

struct ra_replay_list {
    ra_records records;              // the record file as read, with its warnings
    std::vector<ra_replay> replays;  // newest first
};

// Lists Dir (dir on this system, shown as `shown` in messages). False with
// *error when Dir cannot be read.
bool ra_list_replays(const std::filesystem::path &dir, const std::string &shown,
                     ra_replay_list *out, std::string *error);

// True for a file name with the extension of replays (any letter case).
bool ra_replay_name(const std::string &name);
