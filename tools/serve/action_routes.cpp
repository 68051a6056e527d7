// The library app's actions: Watch, Keep and its undoing, Tidy, the removal
// of a friend's replay, and a racer's alias. Each answers as every action
// does (ra_answer_action); the page then asks /state for the rows it changed.
#include "friends/aliases.h"
#include "friends/friend_removal.h"
#include "friends/friend_replay.h"
#include "library/html_text.h"
#include "library/keep_marks.h"
#include "library/prune.h"
#include "library/records.h"
#include "library/restore.h"
#include "platform/remove.h"
#include "program/reports.h"
#include "platform/game_paths.h"
#include "serve/api_json.h"
#include "serve/app_answers.h"
#include "serve/route_handlers.h"

namespace fs = std::filesystem;

void ra_serve_watch(ra_app &app, const ra_snapshot &now, const httplib::Request &req,
                    httplib::Response &res) {
    ra_output said;
    std::string error;
    if (!now.have_setup)
        return ra_answer_action(res, ra_fail(&said, now.error, ra_exit_usage), said);
    const ra_game_setup &setup = now.setup;
    // The record as restore asks it, from the index: the lines of this
    // name and the newest, not the whole record.
    ra_records records;
    const std::string name = req.get_param_value("file");
    if (now.index == nullptr || !now.index->records_for(name, &records)) {
        ra_read_records(setup.dir, ra_text(setup.dir / ra_records_file), &records);
    }
    for (const std::string &w : records.warnings) said.err += "warning: " + w + "\n";
    ra_restore_place place;
    place.game = setup.game;
    place.dir = setup.dir;
    place.clear_ip = setup.settings.clear_ip != 0;
    // The file the list shows, by its place in Dir, never a path of the
    // request's; a friend's replay from their folder alone.
    std::string file = ra_text(setup.dir / ra_path(name));
    ra_friend_replay theirs;
    if (ra_is_friend_replay(setup.dir, name, &theirs, &error)) {
        if (!error.empty())
            return ra_answer_action(res, ra_fail(&said, error, ra_exit_usage), said);
        file = ra_text(theirs.path);
    }
    const ra_restore_result restored = ra_restore(place, records, file, "");
    int status = ra_print_restore(restored, file, &said);
    // The game's replay as Watch left it: the page marks the row "loaded in
    // the game" until the replay changes.
    nlohmann::json answer = nlohmann::json::object();
    if (status == ra_exit_ok) {
        app.watched = restored.replay;
        answer["game"] = ra_file_state(restored.replay);
    }
    ra_answer_action(res, status, said, {}, true, answer);
}

namespace {

void ra_mark(const ra_snapshot &now, const httplib::Request &req, httplib::Response &res,
             bool keep) {
    ra_output said;
    std::string error, file = req.get_param_value("file");
    if (!now.have_setup) {
        return ra_answer_action(res, ra_fail(&said, now.error, ra_exit_failed), said);
    }
    const ra_game_setup &setup = now.setup;
    ra_friend_replay theirs;
    const bool friends = ra_is_friend_replay(setup.dir, file, &theirs, &error);
    if (!error.empty() || !(friends ? ra_mark_friend_replay(theirs, file, keep, &error)
                                    : ra_set_keep_mark(setup.dir, file, keep, &error))) {
        return ra_answer_action(res, ra_fail(&said, error, ra_exit_failed), said);
    }
    said.out = ra_keep_said(file, keep) + "\n";
    ra_answer_action(res, ra_exit_ok, said);
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

namespace {

// The Tidy form's labels, for a policy given wrongly.
const ra_prune_words ra_tidy_words = {
    "\"Keep the newest\"", "\"Keep at most\"", "\"Remove those older than\"",
    "Fill in at least one box: how many to keep, how much space they may take, or after how many "
    "days they go.",
    false};

// Whether a replay Tidy removes can be put back: from the Recycle Bin
// where the system has one; elsewhere it is deleted.
bool ra_tidy_recycles() { return ra_removed_where[0] != '\0'; }

// Tidy's words to the player: how many replays go and how much space that
// frees, and whether they can be taken back from the Recycle Bin.
std::string ra_tidy_said(size_t count, uint64_t bytes, size_t failed, bool applied) {
    const std::string replays = std::to_string(count) + (count == 1 ? " replay" : " replays");
    const bool recycled = ra_tidy_recycles();
    std::string said;
    if (!applied) {
        if (count == 0) return "Nothing would go: every replay fits these limits.";
        said = replays + " would go, freeing " + ra_format_size(bytes) + ". " +
               (recycled ? "They go to the Recycle Bin, from where you can put them back."
                         : "They are deleted for good.");
        return said + " Replays you keep never go.";
    }
    said = count == 0 ? std::string("No replay was removed.")
                      : replays + " removed, " + ra_format_size(bytes) + " freed" +
                            (recycled ? ": they are in the Recycle Bin." : ", for good.");
    if (failed != 0) {
        said += " " + std::to_string(failed) +
                (failed == 1 ? " replay could not be removed and stays where it is."
                             : " replays could not be removed and stay where they are.");
    }
    return said;
}

// The words of the button that removes what the preview showed, so that the
// player reads what it does before pressing it: "Move 170 replays (19.9 KB)
// to the Recycle Bin", "Delete 170 replays (19.9 KB) for good".
std::string ra_tidy_apply_words(size_t count, uint64_t bytes) {
    const std::string what = std::to_string(count) + (count == 1 ? " replay (" : " replays (") +
                             ra_format_size(bytes) + ")";
    return ra_tidy_recycles() ? "Move " + what + " to the Recycle Bin"
                              : "Delete " + what + " for good";
}

}  // namespace

// Tidy is prune: its policies, its plan, the replays it takes; its answer
// carries prune's own words and the player's. A preview gives the plan of
// what would go; applying takes that plan back and removes nothing unless
// the same replays would still go.
void ra_serve_tidy(ra_app &, const ra_snapshot &now, const httplib::Request &req,
                   httplib::Response &res) {
    ra_prune_job prune;
    prune.keep = req.get_param_value("keep");
    prune.max_size = req.get_param_value("max_size");
    prune.older_than = req.get_param_value("older_than");
    prune.apply = req.get_param_value("apply") == "1";
    ra_output said;
    ra_prune_policy policy;
    int status = ra_prune_policy_of(prune, &policy, &said, ra_tidy_words);
    if (status == ra_exit_ok && prune.apply) {
        if (req.get_param_value("plan").empty()) {
            status = ra_fail(&said, "Show what would go first: Tidy removes only what it showed.",
                             ra_exit_usage);
        }
        policy.plan = req.get_param_value("plan");
    }
    if (status == ra_exit_ok && !now.have_setup) status = ra_fail(&said, now.error, ra_exit_usage);
    if (status != ra_exit_ok) {
        nlohmann::json answer = nlohmann::json::object();
        // The sentence without the program's name before it.
        const std::string prefix = std::string(ra_program) + ": ";
        std::string sentence = said.err.substr(0, said.err.find_last_not_of('\n') + 1);
        if (sentence.compare(0, prefix.size(), prefix) == 0) sentence.erase(0, prefix.size());
        answer["said"] = ra_utf8_text(sentence);
        return ra_answer_action(res, status, said, {}, false, answer);
    }
    ra_warn_unrecorded(now.setup, &said);
    const std::string shown = ra_text(now.setup.dir);
    const ra_prune_result result = ra_prune_folder(now.setup.dir, shown, policy, prune.apply);
    status = ra_print_prune(result, shown, &said);
    std::vector<std::string> removed;
    uint64_t bytes = 0;
    size_t failed = 0;
    for (const ra_prune_candidate &c : result.candidates) {
        if (c.reasons.empty()) continue;
        if (!c.not_removed.empty()) {
            ++failed;
            continue;
        }
        removed.push_back(c.file);
        bytes += c.size;
    }
    nlohmann::json answer = nlohmann::json::object();
    answer["said"] = ra_tidy_said(removed.size(), bytes, failed, result.applied);
    // A race saved or a mark changed since the preview: nothing went, and
    // this answer is the preview again, to be looked at anew.
    if (result.plan_changed) {
        answer["said"] = "What would go changed since you looked, so nothing was removed. " +
                         answer["said"].get<std::string>();
    }
    if (!result.applied && !removed.empty()) {
        answer["plan"] = ra_prune_plan(result.candidates);
        answer["apply_words"] = ra_tidy_apply_words(removed.size(), bytes);
    }
    // The rows that went are named by `removed`.
    answer["count"] = removed.size();
    answer["bytes"] = bytes;
    ra_answer_action(res, status, said, removed, result.applied, answer);
}

// POST /remove: file=Friends/<friend>/<file>, one of a friend's replays.
// The player's own replays leave by Tidy alone, whose preview shows what
// goes: a name of another form is refused.
void ra_serve_remove(ra_app &, const ra_snapshot &now, const httplib::Request &req,
                     httplib::Response &res) {
    std::string error;
    const std::string file = req.get_param_value("file");
    ra_friend_replay theirs;
    if (!now.have_setup) return ra_refuse_action(res, now.error);
    if (!ra_is_friend_replay(now.setup.dir, file, &theirs, &error)) {
        return ra_refuse_action(res,
                                "only a friend's replay is removed here; your own replays "
                                "go by Tidy, which shows first what it removes");
    }
    if (!error.empty() || !ra_remove_friend_replay(theirs, &error)) {
        return ra_refuse_action(res, error);
    }
    ra_output said;
    said.out = "Removed " + theirs.file + " and its lines from " + theirs.friend_name +
               "'s record (" + ra_removed_how + ").\n";
    ra_answer_action(res, ra_exit_ok, said, {file});
}

// POST /alias: old= a racer's name, new= the name every view shows for it.
void ra_serve_alias(ra_app &, const ra_snapshot &now, const httplib::Request &req,
                    httplib::Response &res) {
    std::string error = now.error;
    const std::string old_name = req.get_param_value("old"), new_name = req.get_param_value("new");
    if (!now.have_setup || !ra_set_alias(now.setup.dir, old_name, new_name, &error)) {
        return ra_refuse_action(res, error);
    }
    ra_output said;
    said.out = ra_alias_stored(old_name, new_name);
    ra_answer_action(res, ra_exit_ok, said);
}
