// The library app's actions: Watch, Keep and its undoing, Tidy, the removal
// of a friend's replay, and a racer's alias. Each answers as every action
// does (ra_answer_action), with the rows it changed.
#include "actions/alias_action.h"
#include "actions/keep_action.h"
#include "actions/prune_action.h"
#include "actions/remove_action.h"
#include "actions/restore_action.h"
#include "library/html_text.h"
#include "library/records.h"
#include "platform/game_paths.h"
#include "serve/api_json.h"
#include "serve/app_answers.h"
#include "serve/route_handlers.h"

namespace fs = std::filesystem;

namespace {

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

}  // namespace

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

namespace {

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

}  // namespace

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
