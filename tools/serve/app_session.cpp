// The app's state: the settings read again when the INI changed, and Dir's
// index brought up to date by what changed in Dir.
#include "serve/app_session.h"

#include "program/open_library.h"

#include "friends/friend_replay.h"
#include "library/text/html_text.h"
#include "library/replays/keep_marks.h"
#include "library/record/record_reader.h"
#include "platform/file_system.h"
#include "platform/game_paths.h"

namespace fs = std::filesystem;

// A file's size and time stamp, or "-" when there is none: an INI saved
// twice in a second is two states.
std::string ra_file_state(const fs::path &file) {
    const ra_entry_facts facts = ra_entry_facts_of(file);
    if (facts.kind == ra_entry_kind::none) return "-";
    const uint64_t size = facts.kind == ra_entry_kind::folder ? 0 : facts.size;
    return std::to_string(size) + "@" + std::to_string(facts.written);
}

// The record's, the marks' and the folder's size and time, and the folder:
// a Dir changed in the INI is a new library, and a file added to or taken
// from Dir changes the folder's own time stamp. /state without a cursor
// gives it, for a script that only asks whether anything changed.
std::string ra_library_state(const fs::path &dir) {
    return ra_file_state(dir / ra_records_file) + " " + ra_file_state(dir / ra_keep_file) + " " +
           ra_file_state(dir) + " " + ra_text(dir);
}

namespace {

// What the page says while Dir does not exist yet.
const char ra_no_race_yet[] = "No race saved yet: race once and it appears here.";

// A game whose player has not raced since the plug-in came has no Dir yet
// (the plug-in makes it with the first save): the app then opens an empty
// library and shows the first race when it comes. Anything else in Dir's
// place (a file, a folder it may not read) is still refused with its reason.
bool ra_no_folder_yet(const fs::path &dir) {
    std::error_code ignored;
    return fs::status(dir, ignored).type() == fs::file_type::not_found;
}

}  // namespace

// The settings of the INI, read again whenever its size or time changed,
// so that a Dir or a template the player edits shows on the next request.
// A Dir other than before is told on the page until the app stops.
namespace {

bool ra_serve_setup(ra_app &app, ra_game_setup *out, std::string *error) {
    if (!app.have_setup || ra_file_state(app.setup.ini) != app.ini_state) {
        ra_game_setup fresh;
        if (!ra_load_setup(app.ini, &fresh, error)) return false;
        if (app.have_setup && fresh.dir != app.setup.dir) {
            app.switched = std::string(ra_setting_keys[RA_SET_DIR].key) + " in " +
                           ra_text(fresh.ini.filename()) + " changed: this page now shows " +
                           ra_text(fresh.dir) + " (it showed " + ra_text(app.setup.dir) + ").";
        }
        app.ini_state = ra_file_state(fresh.ini);
        app.setup = fresh;
        app.have_setup = true;
    }
    *out = app.setup;
    return true;
}

}  // namespace

// What the page says above the library: that Dir changed in the INI, and
// that no race was saved yet.
std::string ra_library_notice(const ra_app &app, const ra_game_setup &setup) {
    std::string notice = app.switched;
    if (ra_no_folder_yet(setup.dir))
        notice += (notice.empty() ? "" : " ") + std::string(ra_no_race_yet);
    return notice;
}

namespace {

// The index of Dir, brought up to date by what changed (Dir's own time
// stamp, the record's and the marks' tell), in *index; null while Dir does
// not exist yet. An index that cannot be written is made again once. False
// with *error when the library cannot be read.
bool ra_bring_index(ra_app &app, const ra_game_setup &setup, ra_library_index **index,
                    std::string *error) {
    *index = nullptr;
    if (ra_no_folder_yet(setup.dir)) {
        app.index.reset();
        return true;
    }
    auto progress = [&app](size_t done, size_t total) {
        app.indexing_done = done;
        app.indexing_total = total;
        app.indexing = true;
        ra_tell_index_progress(done, total);
    };
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!app.index || app.index->dir() != setup.dir) {
            app.index = std::make_unique<ra_library_index>();
            if (!app.index->open(setup.dir, error)) break;
            // Made from nothing: the page tells so from the start.
            if (app.index->opened() == ra_cache_opened::made) app.indexing = true;
        }
        bool fresh = app.index->refresh(ra_text(setup.dir), true, progress, error);
        app.indexing = false;
        app.indexing_total = 0;
        app.indexing_done = 0;
        if (fresh) {
            *index = app.index.get();
            return true;
        }
        app.index.reset();
        ra_remove_index(setup.dir);
    }
    app.index.reset();
    // The reason in the player's words: the folder as the list reads it.
    ra_replay_list list;
    if (!ra_list_replays(setup.dir, ra_text(setup.dir), &list, error)) return false;
    *error = "the library's index in " + ra_text(setup.dir) + " cannot be written: " + *error;
    return false;
}

}  // namespace

ra_snapshot ra_take_snapshot(ra_app &app, ra_route_reads reads) {
    ra_snapshot now;
    if (reads == ra_route_reads::nothing) return now;
    now.have_setup = ra_serve_setup(app, &now.setup, &now.error);
    if (now.have_setup && reads == ra_route_reads::library) {
        now.have_library = ra_bring_index(app, now.setup, &now.index, &now.error);
    }
    return now;
}

int ra_library_entries(const ra_snapshot &now, const std::string &file, ra_replay_list *list,
                       ra_output *out) {
    *list = ra_replay_list();
    if (!now.have_library) return ra_fail(out, now.error, ra_exit_failed);
    if (now.index != nullptr && !now.index->load(list, "", file)) {
        return ra_fail(out, "the library's index cannot be read", ra_exit_failed);
    }
    for (const std::string &w : list->records.warnings) out->err += "warning: " + w + "\n";
    return ra_exit_ok;
}

bool ra_list_shows(const ra_snapshot &now, const std::string &file) {
    if (!now.have_library) return true;
    ra_friend_replay theirs;
    std::string error;
    if (ra_is_friend_replay(now.setup.dir, file, &theirs, &error)) return true;
    if (now.index == nullptr) return false;
    ra_replay_list list;
    return !now.index->load(&list, "", file) || !list.replays.empty();
}

// The entry of the list with exactly this file name (as the list shows it).
const ra_replay *ra_entry(const ra_replay_list &list, const std::string &file) {
    for (const ra_replay &r : list.replays) {
        if (r.file == file) return &r;
    }
    return nullptr;
}

// A rebuild under way: {"done": n, "total": n} (total 0: not counted yet),
// or null.
nlohmann::json ra_indexing(const ra_app &app) {
    if (!app.indexing) return nullptr;
    return {{"done", (size_t)app.indexing_done}, {"total", (size_t)app.indexing_total}};
}
