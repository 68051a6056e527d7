// serve: the library app. The library page, from the same code as page,
// served on this computer alone with buttons that watch, keep and tidy
// replays through the same functions as restore and prune. Every connection
// passes the front door (serve/front_door.h), which reads its request head
// without giving it a thread; every request then passes the gate
// (serve/request_rules.h) before any handler runs: its size, Host, Origin,
// route and the address's token (sent by the page in a header) before its
// body is read, a replay's name after; the handlers then only call the jobs
// and hand back what they say. The routes are one table, registered in one
// loop behind the gate.
#include "jobs/job_serve.h"

#include <stdio.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "serve/http_server.h"
#include <nlohmann/json.hpp>

#include "friends/friend_replay.h"
#include "friends/friend_laps.h"
#include "friends/friend_removal.h"
#include "friends/aliases.h"
#include "friends/import.h"
#include "friends/leaderboard.h"
#include "friends/share_file.h"
#include "friends/sharing.h"
#include "serve/api_json.h"
#include "serve/app_pages.h"
#include "serve/friends_api.h"
#include "serve/import_progress.h"
#include "serve/front_door.h"
#include "serve/request_rules.h"
#include "serve/upload_file.h"
#include "platform/browser.h"
#include "platform/console.h"
#include "platform/file_system.h"
#include "platform/game_paths.h"
#include "program/game_setup.h"
#include "actions/alias_action.h"
#include "actions/import_action.h"
#include "actions/keep_action.h"
#include "actions/prune_action.h"
#include "actions/remove_action.h"
#include "actions/restore_action.h"
#include "actions/share_action.h"
#include "library/html_text.h"
#include "library/index_queries.h"
#include "library/library_index.h"
#include "library/keep_marks.h"
#include "library/prune.h"
#include "library/restore.h"
#include "library/type_codes.h"
#include "library/library_page.h"
#include "library/local_time.h"
#include "platform/random.h"
#include "platform/remove.h"
#include "library/records.h"
#include "library/replays.h"
#include "platform/stop.h"

namespace fs = std::filesystem;

namespace {

// The only address the app listens on.
const char ra_loopback[] = "127.0.0.1";
// Random bytes in the address's token, and in the nonce of each answer's
// security policy.
const size_t ra_token_bytes = 24;
const size_t ra_nonce_bytes = 16;
// How long a connection waits for each piece of a request's body.
const time_t ra_read_timeout_seconds = 2;

// The front door's table. A connection waiting costs a socket and what it
// sent, so there is room for a few hundred: strangers who hold fewer never
// make it shed anyone, and the browser's request never queues behind their
// new connections in the system's queue. A browser sends its request at
// once on a connection it opened, so a second is long for a request line;
// the head is whole within the time the body then has as well.
ra_door_limits ra_serve_door() {
    ra_door_limits limits;
    limits.waiting_max = 256;
    limits.serving_max = 64;
    limits.queued_max = 64;
    limits.first_line_ms = 1000;
    limits.head_ms = CPPHTTPLIB_CONNECTION_READ_DEADLINE_SECOND * 1000;
    limits.line_max = ra_header_line_max;
    limits.headers_max = ra_header_count_max;
    return limits;
}

struct ra_app {
    ra_serve_job job;
    ra_gate gate;
    // The settings loader and Dir's files are the process's: one request at
    // a time touches them, so two actions can never interleave their steps.
    std::mutex library;
    // The names the list showed, and the state of Dir they were read at
    // (ra_listed); under `library`.
    std::string listed_state;
    std::set<std::string> listed;
    // The settings as last read, and the INI's size and time then: read
    // again once the player changed the file (ra_serve_setup); under
    // `library`. `switched` tells of a Dir that changed meanwhile.
    bool have_setup = false;
    ra_game_setup setup;
    std::string ini_state;
    std::string switched;
    // The game's replay the latest Watch replaced, whose changes tell the
    // page that the replay it loaded is no longer the game's; under `library`.
    fs::path watched;
    // Dir's index, open while the app runs (ra_serve_index); under `library`.
    std::unique_ptr<ra_library_index> index;
    // A rebuild of the index under way: rows written of all (0: none). Read
    // without `library`, so that the page sees it while the rebuild holds it.
    std::atomic<size_t> indexing_done{0}, indexing_total{0};
    // The filters' choices as last asked, and the cursor and racer they
    // were asked at: the page asks again after each change; under `library`.
    std::string choices_of;
    ra_index_choices choices;
    // The import under way, asked for its progress and cancelled from
    // other requests while it works (its own lock).
    ra_import_run import;
};

void ra_answer(httplib::Response &res, int status, const std::string &text) {
    res.status = status;
    res.set_content(text + "\n", "text/plain; charset=utf-8");
}

// A page of the app: its policy names the nonce of this answer alone.
void ra_answer_page(httplib::Response &res, const std::string &html, const std::string &nonce) {
    res.set_header("Content-Security-Policy", ra_page_policy(nonce));
    res.set_content(html, "text/html; charset=utf-8");
}

// The record file's and the marks' size and time: what changes when a race
// is saved, or a mark or a file is changed from the page or elsewhere.
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

// The settings of the INI, read again whenever its size or time changed,
// so that a Dir or a template the player edits shows on the next request.
// A Dir other than before is told on the page until the app stops.
bool ra_serve_setup(ra_app &app, ra_game_setup *out, std::string *error) {
    if (!app.have_setup || ra_file_state(app.setup.ini) != app.ini_state) {
        ra_game_setup fresh;
        if (!ra_load_setup(app.job.ini, &fresh, error)) return false;
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

// What the page says above the library: that Dir changed in the INI, and
// that no race was saved yet.
std::string ra_library_notice(const ra_app &app, const ra_game_setup &setup) {
    std::string notice = app.switched;
    if (ra_no_folder_yet(setup.dir))
        notice += (notice.empty() ? "" : " ") + std::string(ra_no_race_yet);
    return notice;
}

// The index of Dir, brought up to date by what changed (Dir's own time
// stamp, the record's and the marks' tell), in *index; null while Dir does
// not exist yet. An index that cannot be written is made again once. False
// with *error when the library cannot be read.
bool ra_serve_index(ra_app &app, ra_game_setup *setup, ra_library_index **index,
                    std::string *error) {
    *index = nullptr;
    if (!ra_serve_setup(app, setup, error)) return false;
    if (ra_no_folder_yet(setup->dir)) {
        app.index.reset();
        return true;
    }
    auto progress = [&app](size_t done, size_t total) {
        app.indexing_done = done;
        app.indexing_total = total;
    };
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!app.index || app.index->dir() != setup->dir) {
            app.index = std::make_unique<ra_library_index>();
            if (!app.index->open(setup->dir, error)) break;
        }
        bool fresh = app.index->refresh(ra_text(setup->dir), true, progress, error);
        app.indexing_total = 0;
        if (fresh) {
            *index = app.index.get();
            return true;
        }
        app.index.reset();
        ra_remove_index(setup->dir);
    }
    app.index.reset();
    // The reason in the player's words: the folder as the list reads it.
    ra_replay_list list;
    if (!ra_list_replays(setup->dir, ra_text(setup->dir), &list, error)) return false;
    *error = "the library's index in " + ra_text(setup->dir) + " cannot be written: " + *error;
    return false;
}

// The settings and the entries of Dir of exactly this file name, with
// their record lines, as ra_open_library has them.
int ra_serve_library(ra_app &app, const std::string &file, ra_game_setup *setup,
                     ra_replay_list *list, ra_output *out) {
    std::string error;
    ra_library_index *index = nullptr;
    *list = ra_replay_list();
    if (!ra_serve_index(app, setup, &index, &error)) return ra_fail(out, error, ra_exit_failed);
    if (index != nullptr && !index->load(list, "", file)) {
        return ra_fail(out, "the library's index cannot be read", ra_exit_failed);
    }
    for (const std::string &w : list->records.warnings) out->err += "warning: " + w + "\n";
    return ra_exit_ok;
}

// Whether the list shows exactly this file name, as the index has it. True
// as well when the library cannot be opened: the handler then says why.
bool ra_listed(ra_app &app, const std::string &file) {
    ra_game_setup setup;
    std::string error;
    ra_library_index *index = nullptr;
    if (!ra_serve_index(app, &setup, &index, &error)) return true;
    // A friend's replay is no row of the player's list: its own check
    // names what is wrong with it.
    ra_friend_replay theirs;
    if (ra_is_friend_replay(setup.dir, file, &theirs, &error)) return true;
    if (index == nullptr) return false;
    ra_replay_list list;
    return !index->load(&list, "", file) || !list.replays.empty();
}

// The entry of the list with exactly this file name (as the list shows it).
const ra_replay *ra_entry(const ra_replay_list &list, const std::string &file) {
    for (const ra_replay &r : list.replays) {
        if (r.file == file) return &r;
    }
    return nullptr;
}

// An action's answer, which the page reads field by field: whether it
// worked, what it says (the console's words), and the replays it removed,
// or with a preview would remove (`applied` false), by their own bytes
// percent-encoded as the page names them.
void ra_answer_action(httplib::Response &res, int status, const ra_output &said,
                      const std::vector<std::string> &removed = {}, bool applied = true,
                      nlohmann::json answer = nlohmann::json::object()) {
    answer["ok"] = status == ra_exit_ok;
    answer["message"] = ra_utf8_text(said.out + said.err);
    answer["removed"] = nlohmann::json::array();
    for (const std::string &file : removed) answer["removed"].push_back(ra_url_text(file));
    answer["applied"] = applied;
    res.status = status == ra_exit_ok ? 200 : 409;
    res.set_content(answer.dump(), "application/json; charset=utf-8");
}

// An action's answer from what the action said.
void ra_answer_action(httplib::Response &res, const ra_action_said &said,
                      const std::vector<std::string> &removed = {}, bool applied = true,
                      nlohmann::json answer = nlohmann::json::object()) {
    ra_output told;
    const int status = ra_tell(said, &told);
    ra_answer_action(res, status, told, removed, applied, std::move(answer));
}

// The library's shell: no race, no folder, no secret. Its script asks for
// the rows a page at a time with the token, so that it costs the same for
// any size of library, and a tab without the token shows nothing but how
// to get the address.
void ra_serve_page(ra_app &, const httplib::Request &, httplib::Response &res) {
    ra_page_app page;
    page.nonce = ra_random_hex(ra_nonce_bytes);
    page.no_token = ra_no_token_notice();
    ra_answer_page(res, ra_library_page(ra_replay_list(), "", "", &page), page.nonce);
}

// A race's shell; its script asks /api/race for the details.
void ra_serve_race_shell(ra_app &, const httplib::Request &, httplib::Response &res) {
    const std::string nonce = ra_random_hex(ra_nonce_bytes);
    ra_answer_page(res, ra_race_shell(nonce), nonce);
}

void ra_answer_json(httplib::Response &res, const nlohmann::json &answer) {
    res.set_content(answer.dump(), "application/json; charset=utf-8");
}

// GET /api/race?file=: one race's details, as markup of escaped text.
void ra_serve_race(ra_app &app, const httplib::Request &req, httplib::Response &res) {
    ra_game_setup setup;
    ra_replay_list list;
    ra_output out;
    if (ra_serve_library(app, req.get_param_value("file"), &setup, &list, &out) != ra_exit_ok) {
        return ra_answer(res, 500, out.err);
    }
    const ra_replay *entry = ra_entry(list, req.get_param_value("file"));
    if (entry == nullptr) return ra_answer(res, 400, "No replay of that name is in the list.");
    const ra_race_details details =
        ra_race_details_of(*entry, ra_read_keep_marks(setup.dir).has(entry->file));
    ra_answer_json(res, {{"title", ra_utf8_text(details.title)},
                         {"actions", ra_utf8_text(details.actions)},
                         {"facts", ra_utf8_text(details.facts)}});
}

// A rebuild under way: {"done": n, "total": n}, or null.
nlohmann::json ra_indexing(const ra_app &app) {
    size_t total = app.indexing_total;
    if (total == 0) return nullptr;
    return {{"done", (size_t)app.indexing_done}, {"total", total}};
}

// A count of the query, digits only and bounded; `otherwise` when absent.
size_t ra_count_param(const httplib::Request &req, const char *name, size_t otherwise) {
    // More digits than this are no count of rows.
    const size_t digits_max = 9;
    const std::string text = req.get_param_value(name);
    if (text.empty() || text.size() > digits_max ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return otherwise;
    }
    return (size_t)std::stoul(text);
}

// The racer whose laps a row shows as "yours": the one asked for, else the
// library's own (the player's).
std::string ra_racer_param(ra_library_index &index, const httplib::Request &req) {
    std::string racer = req.get_param_value("racer");
    ra_index_facts facts;
    if (racer.empty() && index.facts(&facts)) racer = facts.default_racer;
    return racer;
}

// GET /api/rows: one page of rows by the page's filters and sort.
void ra_serve_rows(ra_app &app, const httplib::Request &req, httplib::Response &res) {
    ra_game_setup setup;
    ra_library_index *index = nullptr;
    std::string error;
    if (!ra_serve_index(app, &setup, &index, &error)) return ra_answer(res, 500, error);
    ra_row_query query;
    query.offset = ra_count_param(req, "offset", 0);
    query.limit = ra_count_param(req, "limit", query.limit);
    if (req.has_param("sort")) query.sort = req.get_param_value("sort");
    query.desc = req.get_param_value("desc") != "0";
    query.track = req.get_param_value("track");
    query.type = req.get_param_value("type");
    query.weather = req.get_param_value("weather");
    query.pb = req.get_param_value("pb") == "1";
    query.kept = req.get_param_value("kept") == "1";
    query.text = req.get_param_value("q");
    query.others = req.get_param_value("kind") == "other";
    nlohmann::json answer = {{"total", 0}, {"offset", query.offset}, {"cursor", 0}};
    answer["rows"] = nlohmann::json::array();
    if (index != nullptr) {
        query.racer = ra_racer_param(*index, req);
        size_t total = 0;
        std::vector<ra_index_row> rows;
        ra_index_facts facts;
        if (!index->facts(&facts) || !ra_query_rows(index->db(), query, &total, &rows)) {
            return ra_answer(res, 500, "The library's index cannot be read.");
        }
        answer["total"] = total;
        answer["cursor"] = facts.cursor;
        answer["rows"] = ra_rows_json(rows);
    }
    ra_answer_json(res, answer);
}

// GET /api/facts: the summary, the notices, the choices of the filters.
void ra_serve_facts(ra_app &app, const httplib::Request &req, httplib::Response &res) {
    ra_game_setup setup;
    ra_library_index *index = nullptr;
    std::string error;
    if (!ra_serve_index(app, &setup, &index, &error)) return ra_answer(res, 500, error);
    ra_index_facts facts;
    ra_index_choices none;
    const ra_index_choices &choices = index != nullptr ? app.choices : none;
    if (index != nullptr) {
        const std::string racer = ra_racer_param(*index, req);
        if (!index->facts(&facts))
            return ra_answer(res, 500, "The library's index cannot be read.");
        const std::string asked =
            std::to_string(facts.cursor) + " " + ra_text(setup.dir) + " " + racer;
        if (app.choices_of != asked) {
            app.choices_of.clear();
            if (!ra_query_choices(index->db(), racer, &app.choices)) {
                return ra_answer(res, 500, "The library's index cannot be read.");
            }
            app.choices_of = asked;
        }
    }
    auto texts = [](const std::vector<std::string> &list) {
        nlohmann::json json = nlohmann::json::array();
        for (const std::string &t : list) json.push_back(ra_utf8_text(t));
        return json;
    };
    nlohmann::json groups = nlohmann::json::array();
    for (const auto &g : choices.groups) {
        groups.push_back(
            {{"track", ra_utf8_text(g.track)}, {"type", ra_utf8_text(g.type)}, {"races", g.races}});
    }
    nlohmann::json meanings = nlohmann::json::object();
    for (const std::string &code : choices.types) {
        const std::string meaning = ra_type_code_meaning(code);
        if (!meaning.empty()) meanings[ra_utf8_text(code)] = meaning;
    }
    // Every race of the list, as the page's own data counts them ("12 of 12
    // shown"): those whose file is gone are among them.
    ra_answer_json(res, {{"cursor", facts.cursor},
                         {"races", choices.races + choices.gone},
                         {"gone", choices.gone},
                         {"others", choices.others},
                         {"dir", ra_utf8_text(ra_text(setup.dir))},
                         {"notice", ra_utf8_text(ra_library_notice(app, setup))},
                         {"warnings", texts(choices.warnings)},
                         {"tracks", texts(choices.tracks)},
                         {"types", texts(choices.types)},
                         {"weather", texts(choices.weather)},
                         {"racers", texts(choices.racers)},
                         {"default_racer", ra_utf8_text(facts.default_racer)},
                         {"player", ra_utf8_text(facts.player)},
                         {"chart_groups", groups},
                         {"type_meanings", meanings},
                         {"indexing", ra_indexing(app)}});
}

// GET /api/chart: a racer's best lap over time on one track and type.
void ra_serve_chart(ra_app &app, const httplib::Request &req, httplib::Response &res) {
    ra_game_setup setup;
    ra_library_index *index = nullptr;
    std::string error;
    if (!ra_serve_index(app, &setup, &index, &error)) return ra_answer(res, 500, error);
    int64_t days = 0;
    const std::string window = req.has_param("window") ? req.get_param_value("window") : "all";
    if (!ra_chart_window(window, &days)) {
        return ra_answer(res, 400, "window is one of 30, 90, 365 or all.");
    }
    std::vector<ra_chart_lap> laps;
    if (index != nullptr &&
        !ra_query_chart(index->db(), ra_racer_param(*index, req), req.get_param_value("track"),
                        req.get_param_value("type"), &laps)) {
        return ra_answer(res, 500, "The library's index cannot be read.");
    }
    nlohmann::json answer = ra_chart_json(laps, days, ra_local_now());
    // One friend's laps over the racer's own: a point per day, their day's best.
    const std::string friend_name = req.get_param_value("friend");
    if (!friend_name.empty()) {
        std::vector<ra_chart_lap> theirs;
        if (!ra_friend_laps(setup.dir, friend_name, req.get_param_value("track"),
                            req.get_param_value("type"), &theirs, &error)) {
            return ra_answer(res, 400, error + ".");
        }
        const ra_aliases aliases = ra_read_aliases(setup.dir);
        answer["overlay"] = {{"racer", ra_utf8_text(aliases.shown(friend_name))},
                             {"points", ra_chart_json(theirs, days, ra_local_now())["points"]}};
    }
    ra_answer_json(res, answer);
}

// GET /state?since=C: what changed since the cursor C: the rows changed
// or added, the ids of those removed, and whether the summary changed; a
// reload when that is too much or C is not one of this index's. Without
// since, the cursor and the state of the library's files (ra_library_state).
void ra_serve_state(ra_app &app, const httplib::Request &req, httplib::Response &res) {
    ra_game_setup setup;
    ra_library_index *index = nullptr;
    std::string error;
    if (!ra_serve_index(app, &setup, &index, &error)) return ra_answer(res, 500, error);
    ra_index_facts facts;
    if (index != nullptr && !index->facts(&facts)) {
        return ra_answer(res, 500, "The library's index cannot be read.");
    }
    nlohmann::json answer = {{"cursor", facts.cursor}, {"indexing", ra_indexing(app)}};
    if (!app.watched.empty()) answer["game"] = ra_file_state(app.watched);
    if (!req.has_param("since")) {
        answer["state"] = ra_utf8_text(ra_library_state(setup.dir));
        return ra_answer_json(res, answer);
    }
    const std::string since_text = req.get_param_value("since");
    int64_t since = -1;
    if (!since_text.empty() && since_text.size() <= 18 &&
        since_text.find_first_not_of("0123456789") == std::string::npos) {
        since = (int64_t)std::stoll(since_text);
    }
    std::vector<ra_index_row> changed;
    std::vector<std::string> removed;
    bool grown = false, too_many = false;
    if (since < facts.floor || since > facts.cursor ||
        (index != nullptr && (!ra_query_changes(index->db(), since, ra_racer_param(*index, req),
                                                &changed, &removed, &grown, &too_many) ||
                              too_many))) {
        answer["reload"] = true;
        return ra_answer_json(res, answer);
    }
    answer["changed"] = ra_rows_json(changed);
    answer["removed"] = nlohmann::json::array();
    for (const std::string &file : removed) answer["removed"].push_back(ra_row_id(file));
    answer["facts_changed"] = grown;
    ra_answer_json(res, answer);
}

// While a rebuild of the index holds the library: /state and /api/facts
// say how far it came, and nothing else.
void ra_answer_indexing(ra_app &app, const httplib::Request &req, httplib::Response &res) {
    nlohmann::json answer = {{"indexing", ra_indexing(app)}};
    if (req.has_param("since")) {
        answer["cursor"] = req.get_param_value("since");
        answer["changed"] = nlohmann::json::array();
        answer["removed"] = nlohmann::json::array();
        answer["facts_changed"] = false;
    }
    ra_answer_json(res, answer);
}

// What an action changed, for its answer: the rows changed since the
// cursor before it (a mark, a backup Watch made), and the cursor now.
void ra_action_rows(ra_app &app, const httplib::Request &req, int64_t before,
                    nlohmann::json *answer) {
    ra_game_setup setup;
    ra_library_index *index = nullptr;
    std::string error;
    (*answer)["rows"] = nlohmann::json::array();
    ra_index_facts facts;
    if (!ra_serve_index(app, &setup, &index, &error) || index == nullptr || !index->facts(&facts)) {
        return;
    }
    (*answer)["cursor"] = facts.cursor;
    std::vector<ra_index_row> changed;
    std::vector<std::string> removed;
    bool grown = false, too_many = false;
    if (before != 0 && ra_query_changes(index->db(), before, ra_racer_param(*index, req), &changed,
                                        &removed, &grown, &too_many)) {
        (*answer)["rows"] = ra_rows_json(changed);
    }
}

// The cursor before an action; 0 when there is no index.
int64_t ra_cursor_now(ra_app &app) {
    ra_game_setup setup;
    ra_library_index *index = nullptr;
    std::string error;
    ra_index_facts facts;
    if (!ra_serve_index(app, &setup, &index, &error) || index == nullptr || !index->facts(&facts)) {
        return 0;
    }
    return facts.cursor;
}

void ra_serve_watch(ra_app &app, const httplib::Request &req, httplib::Response &res) {
    const int64_t before = ra_cursor_now(app);
    ra_game_setup setup;
    ra_output said;
    std::string error;
    if (!ra_serve_setup(app, &setup, &error)) {
        return ra_answer_action(res, ra_fail(&said, error, ra_exit_usage), said);
    }
    // The record as restore asks it, from the index: the lines of this
    // name and the newest, not the whole record.
    ra_records records;
    ra_library_index *index = nullptr;
    ra_restore_ask ask;
    ask.file = req.get_param_value("file");
    ask.in_dir = true;
    if (!ra_serve_index(app, &setup, &index, &error) || index == nullptr ||
        !index->records_for(ask.file, &records)) {
        ra_read_records(setup.dir, ra_text(setup.dir / ra_records_file), &records);
    }
    const ra_restore_said restored = ra_restore_action(setup, records, ask);
    // The game's replay as Watch left it: the page marks the row "loaded in
    // the game" until the replay changes.
    nlohmann::json answer = nlohmann::json::object();
    if (restored.ok()) {
        app.watched = restored.restore.replay;
        answer["game"] = ra_file_state(restored.restore.replay);
    }
    ra_action_rows(app, req, before, &answer);
    ra_answer_action(res, restored, {}, true, answer);
}

void ra_mark(ra_app &app, const httplib::Request &req, httplib::Response &res, bool keep) {
    const int64_t before = ra_cursor_now(app);
    ra_game_setup setup;
    ra_output said;
    std::string error;
    const std::string file = req.get_param_value("file");
    ra_library_index *index = nullptr;
    if (!ra_serve_index(app, &setup, &index, &error)) {
        return ra_answer_action(res, ra_fail(&said, error, ra_exit_failed), said);
    }
    // The rows of that name, as the gate saw them listed.
    ra_replay_list list;
    if (index != nullptr) index->load(&list, "", file);
    const ra_mark_said marked = ra_keep_action(setup, list, file, keep);
    // The row with its new mark.
    nlohmann::json answer = nlohmann::json::object();
    if (marked.ok()) ra_action_rows(app, req, before, &answer);
    ra_answer_action(res, marked, {}, true, answer);
}

void ra_serve_keep(ra_app &app, const httplib::Request &req, httplib::Response &res) {
    ra_mark(app, req, res, true);
}

void ra_serve_unkeep(ra_app &app, const httplib::Request &req, httplib::Response &res) {
    ra_mark(app, req, res, false);
}

// Tidy is prune: its policies, its plan, the replays it takes; its answer
// carries prune's own words and the player's. A preview gives the plan of
// what would go; applying takes that plan back and removes nothing unless
// the same replays would still go.
void ra_serve_tidy(ra_app &app, const httplib::Request &req, httplib::Response &res) {
    ra_prune_ask ask;
    ask.keep = req.get_param_value("keep");
    ask.max_size = req.get_param_value("max_size");
    ask.older_than = req.get_param_value("older_than");
    ask.apply = req.get_param_value("apply") == "1";
    ask.plan = req.get_param_value("plan");
    ask.front = ra_front::app;
    ra_game_setup setup;
    std::string error;
    ra_prune_said tidy;
    if (!ra_serve_setup(app, &setup, &error)) {
        tidy.stop(ra_action_end::refused, error);
    } else {
        tidy = ra_prune_action(setup, ask);
    }
    nlohmann::json answer = nlohmann::json::object();
    // Refused before prune looked: the sentence alone, nothing applied.
    if (tidy.end == ra_action_end::refused) {
        answer["said"] = ra_utf8_text(tidy.problem);
        return ra_answer_action(res, tidy, {}, false, answer);
    }
    answer["said"] = tidy.summary;
    if (!tidy.plan.empty()) {
        answer["plan"] = tidy.plan;
        answer["apply_words"] = tidy.apply_words;
    }
    // The rows that went are named by `removed`; the cursor is the new one.
    ra_action_rows(app, req, 0, &answer);
    answer["count"] = tidy.removed.size();
    answer["bytes"] = tidy.bytes;
    ra_answer_action(res, tidy, tidy.removed, tidy.prune.applied, answer);
}

// GET /api/friends: the Friends view, whole (serve/friends_api.h).
void ra_serve_friends(ra_app &app, const httplib::Request &, httplib::Response &res) {
    ra_game_setup setup;
    std::string error;
    if (!ra_serve_setup(app, &setup, &error)) return ra_answer(res, 500, error);
    ra_answer_json(res, ra_friends_json(setup.dir));
}

// GET /api/friend-races?friend=&offset=&limit=: a page of a friend's races.
void ra_serve_friend_races(ra_app &app, const httplib::Request &req, httplib::Response &res) {
    ra_game_setup setup;
    std::string error;
    nlohmann::json answer;
    if (!ra_serve_setup(app, &setup, &error)) return ra_answer(res, 500, error);
    if (!ra_friend_races_json(
            setup.dir, req.get_param_value("friend"), ra_count_param(req, "offset", 0),
            ra_count_param(req, "limit", ra_friend_races_page), &answer, &error)) {
        return ra_answer(res, 404, error);
    }
    ra_answer_json(res, answer);
}

// GET /api/leaderboard?track=&type=: the boards of one track and type.
void ra_serve_leaderboard(ra_app &app, const httplib::Request &req, httplib::Response &res) {
    ra_game_setup setup;
    std::string error;
    if (!ra_serve_setup(app, &setup, &error)) return ra_answer(res, 500, error);
    const ra_leaderboard board =
        ra_make_leaderboard(setup.dir, req.get_param_value("track"), req.get_param_value("type"));
    ra_answer_json(res, {{"boards", ra_boards_json(board)}, {"total", board.boards.size()}});
}

// A refusal of an action in one sentence, as every action answers.
void ra_refuse_action(httplib::Response &res, const std::string &sentence) {
    ra_output said;
    ra_answer_action(res, ra_fail(&said, sentence, ra_exit_failed), said);
}

// POST /import?name=: the bytes of the share or card the player picked or
// dropped (name= is its name, for the answer alone), never a path. They go
// to a private file of ours, counted against the share's cap as they come,
// and import reads that file; the file is deleted whatever happens. One
// import at a time; it runs without the library's lock, which it takes only
// to read the settings (the import has the lock of Friends\ for itself), so
// that the page is answered while it works, and tells its progress to
// GET /api/import, where POST /import/cancel stops it.
void ra_serve_import(ra_app &app, const httplib::Request &req, httplib::Response &res,
                     const httplib::ContentReader &read) {
    if (req.is_multipart_form_data()) {
        return ra_refuse_action(res, "an import sends the file itself, not a form");
    }
    if (!app.import.begin()) {
        return ra_refuse_action(res,
                                "another import is under way; wait for it to end, or cancel it");
    }
    struct ra_import_ends {
        ra_import_run &run;
        ~ra_import_ends() { run.end(); }
    } ends{app.import};
    ra_upload_file upload;
    std::string why;
    if (!upload.make(ra_share_extension, &why)) {
        return ra_refuse_action(res, "cannot keep the file for the import: " + why);
    }
    const uint64_t length = req.get_header_value_u64("Content-Length");
    uint64_t got = 0;
    bool too_big = false, kept = true, cancelled = false;
    read([&](const char *data, size_t size) {
        got += size;
        too_big = got > ra_share_max_bytes;
        cancelled = !app.import.received(got, length);
        kept = !too_big && !cancelled && upload.write(data, size, &why);
        return kept;
    });
    if (cancelled) return ra_refuse_action(res, ra_import_cancelled);
    if (too_big) {
        return ra_refuse_action(res, "this file is bigger than any share; nothing was imported");
    }
    if (!kept || !upload.finish(&why)) {
        return ra_refuse_action(
            res, "cannot keep the file for the import: " + why + "; nothing was imported");
    }
    ra_game_setup setup;
    bool have_setup;
    {
        std::lock_guard<std::mutex> hold(app.library);
        have_setup = ra_serve_setup(app, &setup, &why);
    }
    if (!have_setup) return ra_refuse_action(res, why);
    // The player knows the file by the name they picked, not by ours.
    const std::string name = req.get_param_value("name");
    const ra_import_said imported =
        ra_import_action(setup, upload.path(), name.empty() ? "the file you picked" : name,
                         [&app](ra_import_stage stage, uint64_t done, uint64_t total) {
                             return app.import.tell(stage, done, total);
                         });
    if (!imported.ok()) return ra_refuse_action(res, imported.problem);
    ra_answer_action(
        res, imported, {}, true,
        {{"friend", ra_utf8_text(imported.import.sharer)}, {"changed", imported.import.changed}});
}

// GET /api/import: the import under way, if any (serve/import_progress.h).
void ra_serve_import_progress(ra_app &app, const httplib::Request &, httplib::Response &res) {
    ra_answer_json(res, app.import.json());
}

// POST /import/cancel: stops the import under way before it places anything.
void ra_serve_import_cancel(ra_app &app, const httplib::Request &, httplib::Response &res) {
    if (!app.import.cancel()) return ra_refuse_action(res, "no import is under way");
    ra_output said;
    said.out = "The import is being cancelled.\n";
    ra_answer_action(res, ra_exit_ok, said, {}, false);
}

// The share or card planned, then on confirm=1 written to a private file
// and sent as a download; without it, the privacy report alone.
void ra_answer_share(httplib::Response &res, const ra_share_said &planned, bool confirmed) {
    if (!planned.ok()) return ra_refuse_action(res, planned.problem);
    if (!confirmed) return ra_answer_action(res, planned, {}, false);
    auto upload = std::make_shared<ra_upload_file>();
    std::string why;
    if (!upload->make(planned.extension, &why)) {
        return ra_refuse_action(res, "cannot write the file: " + why);
    }
    // ra_write_share makes the file new: the private name is free again first.
    std::error_code ignored;
    upload->finish(&why);
    fs::remove(upload->path(), ignored);
    if (!ra_write_share(upload->path(), planned.plan.share, &why)) {
        return ra_refuse_action(res, "cannot write the file: " + why);
    }
    std::error_code failed;
    const uint64_t size = fs::file_size(upload->path(), failed);
    auto in = std::make_shared<std::ifstream>(upload->path(), std::ios::binary);
    if (failed || !*in) return ra_refuse_action(res, "cannot read the file just written");
    res.set_header("Content-Disposition",
                   ra_attachment_header(ra_share_file_name(planned),
                                        std::string("replays") + planned.extension));
    // Sent from the file a piece at a time; the file goes with the answer.
    res.set_content_provider(
        (size_t)size, "application/octet-stream",
        [in](size_t offset, size_t length, httplib::DataSink &sink) {
            // A piece of the file sent at once.
            const size_t piece_max = 64 * 1024;
            std::string piece(std::min(length, piece_max), '\0');
            in->seekg((std::streamoff)offset);
            if (!in->read(&piece[0], (std::streamsize)piece.size())) return false;
            return sink.write(piece.data(), piece.size());
        },
        // Closed before the file is deleted with `upload`: Windows deletes no open file.
        [upload, in](bool) { in->close(); });
}

// POST /share: one replay of the list (file=), hide_names=1 for "Rival 1"...
void ra_serve_share(ra_app &app, const httplib::Request &req, httplib::Response &res) {
    ra_game_setup setup;
    std::string error;
    if (!ra_serve_setup(app, &setup, &error)) return ra_refuse_action(res, error);
    ra_answer_share(res,
                    ra_share_action(setup, {req.get_param_value("file")},
                                    req.get_param_value("hide_names") == "1"),
                    req.get_param_value("confirm") == "1");
}

// POST /card: the season card of the player's own races.
void ra_serve_card(ra_app &app, const httplib::Request &req, httplib::Response &res) {
    ra_game_setup setup;
    std::string error;
    if (!ra_serve_setup(app, &setup, &error)) return ra_refuse_action(res, error);
    ra_answer_share(res, ra_card_action(setup), req.get_param_value("confirm") == "1");
}

// POST /friend/remove: friend=, a name the Friends view lists.
void ra_serve_remove_friend(ra_app &app, const httplib::Request &req, httplib::Response &res) {
    ra_game_setup setup;
    std::string error;
    if (!ra_serve_setup(app, &setup, &error)) return ra_refuse_action(res, error);
    ra_answer_action(res, ra_remove_friend_action(setup, req.get_param_value("friend")));
}

// POST /remove: file=Friends/<friend>/<file>, one of a friend's replays.
// The player's own replays leave by Tidy alone, whose preview shows what
// goes: a name of another form is refused.
void ra_serve_remove(ra_app &app, const httplib::Request &req, httplib::Response &res) {
    ra_game_setup setup;
    std::string error;
    const std::string file = req.get_param_value("file");
    if (!ra_serve_setup(app, &setup, &error)) return ra_refuse_action(res, error);
    const ra_action_said removed = ra_remove_action(setup, file, ra_front::app);
    ra_answer_action(res, removed,
                     removed.ok() ? std::vector<std::string>{file} : std::vector<std::string>());
}

// POST /alias: old= a racer's name, new= the name every view shows for it.
void ra_serve_alias(ra_app &app, const httplib::Request &req, httplib::Response &res) {
    ra_game_setup setup;
    std::string error;
    if (!ra_serve_setup(app, &setup, &error)) return ra_refuse_action(res, error);
    ra_answer_action(
        res, ra_alias_action(setup, req.get_param_value("old"), req.get_param_value("new")));
}

// The app's routes: the gate's rule and the handler, one row each.
struct ra_route {
    ra_route_rule rule;
    void (*handler)(ra_app &app, const httplib::Request &req, httplib::Response &res);
    // Answered with the progress of a rebuild of the index while one runs.
    bool tells_indexing = false;
    // Instead of handler: takes the body itself, a file, without the library's lock.
    void (*upload)(ra_app &app, const httplib::Request &req, httplib::Response &res,
                   const httplib::ContentReader &read) = nullptr;
};
const ra_route ra_routes[] = {
    {{"GET", "/", false, 0, true}, ra_serve_page},
    {{"GET", "/race", false, 0, true}, ra_serve_race_shell},
    {{"GET", "/api/race", true}, ra_serve_race},
    {{"GET", "/state", false}, ra_serve_state, true},
    {{"GET", "/api/rows", false}, ra_serve_rows},
    {{"GET", "/api/facts", false}, ra_serve_facts, true},
    {{"GET", "/api/chart", false}, ra_serve_chart},
    {{"POST", "/watch", true}, ra_serve_watch},
    {{"POST", "/keep", true}, ra_serve_keep},
    {{"POST", "/unkeep", true}, ra_serve_unkeep},
    {{"POST", "/tidy", false}, ra_serve_tidy},
    {{"GET", "/api/friends", false}, ra_serve_friends},
    {{"GET", "/api/friend-races", false}, ra_serve_friend_races},
    {{"GET", "/api/leaderboard", false}, ra_serve_leaderboard},
    {{"POST", "/import", false, ra_share_max_bytes}, nullptr, false, ra_serve_import},
    {{"GET", "/api/import", false}, ra_serve_import_progress},
    {{"POST", "/import/cancel", false}, ra_serve_import_cancel},
    {{"POST", "/share", true}, ra_serve_share},
    {{"POST", "/card", false}, ra_serve_card},
    {{"POST", "/friend/remove", false}, ra_serve_remove_friend},
    {{"POST", "/remove", true}, ra_serve_remove},
    {{"POST", "/alias", false}, ra_serve_alias},
};
const size_t ra_route_count = sizeof ra_routes / sizeof ra_routes[0];

// The gate's rules, in the table's order.
const ra_route_rule *ra_route_rules() {
    static ra_route_rule rules[ra_route_count];
    for (size_t i = 0; i < ra_route_count; ++i) rules[i] = ra_routes[i].rule;
    return rules;
}

// The answer to a refused request; one without the token learns how to
// start the app and open its address.
void ra_refuse(httplib::Response &res, const ra_gate_verdict &verdict) {
    if (verdict.start_again) {
        res.status = verdict.status;
        res.set_content(ra_start_again_page(verdict.message), "text/html; charset=utf-8");
        return;
    }
    if (verdict.status == 405 && verdict.route != nullptr)
        res.set_header("Allow", verdict.route->method);
    ra_answer(res, verdict.status, verdict.message);
}

// The head of a request, as the gate judges it.
ra_request_head ra_head_of(const httplib::Request &req) {
    ra_request_head head;
    head.method = req.method;
    head.target = req.target;
    head.path = req.path;
    for (const auto &h : req.headers) {
        // The server adds these to the request itself.
        if (h.first == "REMOTE_ADDR" || h.first == "REMOTE_PORT" || h.first == "LOCAL_ADDR" ||
            h.first == "LOCAL_PORT") {
            continue;
        }
        head.headers.emplace_back(h.first, h.second);
    }
    // A length the server cannot read counts as too large.
    const std::string length = req.get_header_value("Content-Length");
    if (!length.empty()) {
        bool digits =
            length.size() <= 18 && length.find_first_not_of("0123456789") == std::string::npos;
        head.body_length = digits ? (uint64_t)std::stoull(length) : (uint64_t)-1;
    }
    head.chunked = req.has_header("Transfer-Encoding");
    return head;
}

// Before the body is read: every rule that needs no body. A request the
// gate lets on is one of the table's routes, with its method.
httplib::Server::HandlerResponse ra_gate_head(ra_app &app, const httplib::Request &req,
                                              httplib::Response &res) {
    ra_gate_verdict verdict = ra_judge_head(app.gate, ra_head_of(req));
    if (verdict.status != 0) {
        ra_refuse(res, verdict);
        return httplib::Server::HandlerResponse::Handled;
    }
    return httplib::Server::HandlerResponse::Unhandled;
}

// After the body (before it, for a file): a replay's name, then the handler.
void ra_run_route(ra_app &app, const ra_route &route, const httplib::Request &req,
                  httplib::Response &res, const httplib::ContentReader *read = nullptr) {
    ra_gate_verdict verdict = ra_judge_form(route.rule, req.get_param_value("file"));
    if (verdict.status != 0) return ra_refuse(res, verdict);
    if (read != nullptr) return route.upload(app, req, res, *read);
    if (route.tells_indexing && app.indexing_total != 0) return ra_answer_indexing(app, req, res);
    std::lock_guard<std::mutex> hold(app.library);
    if (route.rule.names_replay && !ra_listed(app, req.get_param_value("file"))) {
        return ra_answer(res, 400, "No replay of that name is in the list.");
    }
    route.handler(app, req, res);
}

void ra_add_routes(ra_app &app, httplib::Server &server) {
    for (const ra_route &route : ra_routes) {
        auto handler = [&app, &route](const httplib::Request &req, httplib::Response &res) {
            ra_run_route(app, route, req, res);
        };
        if (route.upload != nullptr) {
            server.Post(route.rule.path,
                        [&app, &route](const httplib::Request &req, httplib::Response &res,
                                       const httplib::ContentReader &read) {
                            ra_run_route(app, route, req, res, &read);
                        });
        } else if (std::string(route.rule.method) == "POST") {
            server.Post(route.rule.path, handler);
        } else {
            server.Get(route.rule.path, handler);
        }
    }
}

void ra_say(const std::string &text) { ra_write_text(stdout, text); }

}  // namespace

int ra_run_serve(const ra_serve_job &job, ra_output *out) {
    ra_app app;
    app.job = job;
    int wanted = 0;
    if (!job.port.empty()) {
        uint64_t n = 0;
        bool digits = job.port.find_first_not_of("0123456789") == std::string::npos;
        if (!digits || job.port.size() > 5 || (n = std::stoull(job.port)) < 1 || n > 65535) {
            return ra_fail(out, "--port wants a port number from 1 to 65535, not " + job.port,
                           ra_exit_usage);
        }
        wanted = (int)n;
    }
    // The library must open before anything is served (an empty one while
    // Dir does not exist yet); its index is made now.
    {
        ra_game_setup setup;
        ra_library_index *index = nullptr;
        std::string error;
        if (!ra_serve_setup(app, &setup, &error)) return ra_fail(out, error, ra_exit_usage);
        if (!ra_serve_index(app, &setup, &index, &error)) {
            return ra_fail(out, error, ra_exit_failed);
        }
    }
    app.gate.token = ra_random_hex(ra_token_bytes);
    app.gate.routes = ra_route_rules();
    app.gate.route_count = ra_route_count;
    if (app.gate.token.empty() || ra_random_hex(ra_nonce_bytes).empty()) {
        return ra_fail(out, "the system gave no random numbers for the app's secret",
                       ra_exit_failed);
    }

    ra_http_server server;
    server.set_read_timeout(ra_read_timeout_seconds, 0);
    // The gate holds each route to its own size first; the biggest body of
    // any is a share the player imports.
    server.set_payload_max_length((size_t)ra_share_max_bytes);
    // One listener per port: a second start must fail, not share it.
    server.set_socket_options([](socket_t sock) {
        int yes = 1;
#ifdef _WIN32
        setsockopt(sock, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, (const char *)&yes, sizeof yes);
#else
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
#endif
    });
    httplib::Headers headers;
    for (const auto &h : ra_app_headers()) headers.emplace(h.first, h.second);
    server.set_default_headers(headers);
    server.set_pre_routing_handler([&app](const httplib::Request &req, httplib::Response &res) {
        return ra_gate_head(app, req, res);
    });
    // Every answer but a page (which names its own nonce) runs nothing at all.
    server.set_post_routing_handler([](const httplib::Request &, httplib::Response &res) {
        if (!res.has_header("Content-Security-Policy")) {
            res.set_header("Content-Security-Policy", ra_plain_policy);
        }
    });
    server.set_error_handler([](const httplib::Request &, httplib::Response &res) {
        if (res.body.empty()) ra_answer(res, res.status, "The app could not answer that.");
    });
    ra_add_routes(app, server);

    if (wanted != 0) {
        if (!server.bind_to_port(ra_loopback, wanted)) {
            return ra_fail(out,
                           "cannot listen on " + std::string(ra_loopback) + ":" + job.port +
                               ": the port is taken (is the library app running already?); "
                               "choose another with --port, or leave --port out",
                           ra_exit_failed);
        }
        app.gate.port = wanted;
    } else {
        app.gate.port = server.bind_to_any_port(ra_loopback);
        if (app.gate.port <= 0) {
            return ra_fail(out, "cannot listen on " + std::string(ra_loopback) + ": no free port",
                           ra_exit_failed);
        }
    }

    const ra_socket listening = server.take_listener();
    if (!ra_socket_never_wait(listening)) {
        ra_socket_close(listening);
        return ra_fail(out,
                       "cannot listen on " + std::string(ra_loopback) + ": " +
                           "the system refused to set the listener up",
                       ra_exit_failed);
    }
    ra_front_door door(
        listening, ra_serve_door(),
        [&server](ra_socket sock, const std::string &head) { server.serve(sock, head); });

    ra_stop_prepare();
    std::thread listener([&door] {
        if (!door.run()) {
            ra_say(
                "warning: the system stopped giving the app its connections; press Ctrl+C "
                "and start it again\n");
        }
    });
    // The token after '#', which the browser never sends to any server: the
    // page takes it from there into the tab's storage.
    const std::string address = "http://" + std::string(ra_loopback) + ":" +
                                std::to_string(app.gate.port) + "/#token=" + app.gate.token;
    ra_say("The library app is at " + address + "\nPress Ctrl+C to stop it.\n");
    std::string error;
    if (job.open && !ra_open_in_browser(fs::path(address), &error)) {
        ra_say("warning: " + error + "\n");
    }
    ra_stop_wait();
    door.stop();
    listener.join();
    ra_say("The library app stopped.\n");
    ra_stop_done();
    return ra_exit_ok;
}

// The row of serve.
#include "program/command_row.h"
#include "program/commands.h"

namespace {

void ra_serve_options(CLI::App *sub, ra_serve_job *job) {
    sub->add_option("--port", job->port, "listen on this port (default: a free one)")
        ->type_name("N");
    sub->add_flag_callback(
        "--no-open", [job] { job->open = false; }, "do not open it in the default browser");
}

}  // namespace

const ra_command ra_serve_command =
    ra_command_row<ra_serve_job, ra_serve_options, nullptr, ra_run_serve>(
        "serve", "the library app: the library page in the browser, with Watch, Keep and Tidy");
