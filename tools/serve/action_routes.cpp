// The library app's actions: Watch, Keep and its undoing, Tidy, the removal
// of a friend's replay, and a racer's alias. Each answers as every action
// does (ra_answer_action); the page then asks /state for the rows it changed.
#include "actions/alias_action.h"
#include "actions/keep_action.h"
#include "actions/prune_action.h"
#include "actions/remove_action.h"
#include "actions/restore_action.h"
#include "library/text/html_text.h"
#include "library/record/record_reader.h"
#include "platform/game_paths.h"
#include "serve/api_json.h"
#include "serve/app_answers.h"
#include "serve/route_handlers.h"

namespace fs = std::filesystem;

void ra_serve_watch(ra_app &app, const ra_snapshot &now, const httplib::Request &req,
                    httplib::Response &res) {
    ra_output said;
    if (!now.have_setup)
        return ra_answer_action(res, ra_fail(&said, now.error, ra_exit_usage), said);
    const ra_game_setup &setup = now.setup;
    // The record as restore asks it, from the index: the lines of this
    // name and the newest, not the whole record.
    ra_records records;
    ra_restore_ask ask;
    ask.file = req.get_param_value("file");
    ask.in_dir = true;
    if (now.index == nullptr || !now.index->records_for(ask.file, &records)) {
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
    ra_answer_action(res, restored, {}, true, answer);
}

namespace {

void ra_mark(const ra_snapshot &now, const httplib::Request &req, httplib::Response &res,
             bool keep) {
    ra_output said;
    if (!now.have_setup) {
        return ra_answer_action(res, ra_fail(&said, now.error, ra_exit_failed), said);
    }
    // The rows of that name, as the gate saw them listed.
    const std::string file = req.get_param_value("file");
    ra_replay_list list;
    if (now.index != nullptr) now.index->load(&list, "", file);
    ra_answer_action(res, ra_keep_action(now.setup, list, file, keep));
}

}  // namespace

void ra_serve_keep(ra_app &, const ra_snapshot &now, const httplib::Request &req,
                   httplib::Response &res) {
    ra_mark(now, req, res, true);
}

void ra_serve_unkeep(ra_app &, const ra_snapshot &now, const httplib::Request &req,
                     httplib::Response &res) {
    ra_mark(now, req, res, false);
}

// Tidy is prune: its policies, its plan, the replays it takes; its answer
// carries prune's own words and the player's. A preview gives the plan of
// what would go; applying takes that plan back and removes nothing unless
// the same replays would still go.
void ra_serve_tidy(ra_app &, const ra_snapshot &now, const httplib::Request &req,
                   httplib::Response &res) {
    ra_prune_ask ask;
    ask.keep = req.get_param_value("keep");
    ask.max_size = req.get_param_value("max_size");
    ask.older_than = req.get_param_value("older_than");
    ask.apply = req.get_param_value("apply") == "1";
    ask.plan = req.get_param_value("plan");
    ask.front = ra_front::app;
    ra_prune_said tidy;
    if (!now.have_setup) {
        tidy.stop(ra_action_end::refused, now.error);
    } else {
        tidy = ra_prune_action(now.setup, ask);
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
    // The rows that went are named by `removed`.
    answer["count"] = tidy.removed.size();
    answer["bytes"] = tidy.bytes;
    ra_answer_action(res, tidy, tidy.removed, tidy.prune.applied, answer);
}

// POST /remove: file=Friends/<friend>/<file>, one of a friend's replays.
// The player's own replays leave by Tidy alone, whose preview shows what
// goes: a name of another form is refused.
void ra_serve_remove(ra_app &, const ra_snapshot &now, const httplib::Request &req,
                     httplib::Response &res) {
    const std::string file = req.get_param_value("file");
    if (!now.have_setup) return ra_refuse_action(res, now.error);
    const ra_action_said removed = ra_remove_action(now.setup, file, ra_front::app);
    ra_answer_action(res, removed,
                     removed.ok() ? std::vector<std::string>{file} : std::vector<std::string>());
}

// POST /alias: old= a racer's name, new= the name every view shows for it.
void ra_serve_alias(ra_app &, const ra_snapshot &now, const httplib::Request &req,
                    httplib::Response &res) {
    if (!now.have_setup) return ra_refuse_action(res, now.error);
    ra_answer_action(
        res, ra_alias_action(now.setup, req.get_param_value("old"), req.get_param_value("new")));
}
