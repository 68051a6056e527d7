// The library app's pages and reads: the shells, one race's details, a page
// of rows, the facts and the filters' choices, a chart, and what changed
// since a cursor.
#include "friends/aliases.h"
#include "friends/friend_laps.h"
#include "library/text/folded_name.h"
#include "library/text/html_text.h"
#include "library/replays/keep_marks.h"
#include "library/page/library_page.h"
#include "library/text/local_time.h"
#include "library/record/type_codes.h"
#include "platform/random.h"
#include "platform/game_paths.h"
#include "serve/api_json.h"
#include "serve/app_answers.h"
#include "serve/app_pages.h"
#include "serve/route_handlers.h"

// The library's shell: no race, no folder, no secret. Its script asks for
// the rows a page at a time with the token, so that it costs the same for
// any size of library, and a tab without the token shows nothing but how
// to get the address.
void ra_serve_page(ra_app &, const ra_snapshot &, const httplib::Request &,
                   httplib::Response &res) {
    ra_page_app page;
    page.nonce = ra_random_hex(ra_nonce_bytes);
    page.no_token = ra_no_token_notice();
    ra_answer_page(res, ra_library_page(ra_replay_list(), "", "", &page), page.nonce);
}

// A race's shell; its script asks /api/race for the details.
void ra_serve_race_shell(ra_app &, const ra_snapshot &, const httplib::Request &,
                         httplib::Response &res) {
    const std::string nonce = ra_random_hex(ra_nonce_bytes);
    ra_answer_page(res, ra_race_shell(nonce), nonce);
}

// GET /api/race?file=: one race's details, as markup of escaped text.
void ra_serve_race(ra_app &, const ra_snapshot &now, const httplib::Request &req,
                   httplib::Response &res) {
    ra_replay_list list;
    ra_output out;
    if (ra_library_entries(now, req.get_param_value("file"), &list, &out) != ra_exit_ok) {
        return ra_answer(res, 500, out.err);
    }
    const ra_replay *entry = ra_entry(list, req.get_param_value("file"));
    if (entry == nullptr) return ra_answer(res, 400, "No replay of that name is in the list.");
    const ra_race_details details =
        ra_race_details_of(*entry, ra_read_keep_marks(now.setup.dir).has(entry->file));
    ra_answer_json(res, {{"title", ra_utf8_text(details.title)},
                         {"actions", ra_utf8_text(details.actions)},
                         {"facts", ra_utf8_text(details.facts)}});
}

// GET /api/rows: one page of rows by the page's filters and sort.
void ra_serve_rows(ra_app &, const ra_snapshot &now, const httplib::Request &req,
                   httplib::Response &res) {
    if (!now.have_library) return ra_answer(res, 500, now.error);
    ra_library_index *index = now.index;
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

namespace {

// The racers whose track and type pairs the app holds at once: each asked
// is held until the library changes (a few hundred bytes each).
const size_t ra_groups_held_most = 64;

}  // namespace

// GET /api/facts: the summary, the notices, the choices of the filters.
void ra_serve_facts(ra_app &app, const ra_snapshot &now, const httplib::Request &req,
                    httplib::Response &res) {
    if (!now.have_library) return ra_answer(res, 500, now.error);
    const ra_game_setup &setup = now.setup;
    ra_library_index *index = now.index;
    ra_index_facts facts;
    ra_index_choices none;
    const ra_index_choices &choices = index != nullptr ? app.choices : none;
    const std::vector<ra_racer_group> no_groups;
    const std::vector<ra_racer_group> *racer_groups = &no_groups;
    if (index != nullptr) {
        const std::string racer = ra_racer_param(*index, req);
        if (!index->facts(&facts))
            return ra_answer(res, 500, "The library's index cannot be read.");
        const std::string asked = std::to_string(facts.cursor) + " " + ra_text(setup.dir);
        if (app.choices_of != asked) {
            app.choices_of.clear();
            app.groups.clear();
            if (!ra_query_choices(index->db(), &app.choices)) {
                return ra_answer(res, 500, "The library's index cannot be read.");
            }
            app.choices_of = asked;
        }
        const std::string key = ra_folded_name(racer);
        auto held = app.groups.find(key);
        if (held == app.groups.end()) {
            if (app.groups.size() >= ra_groups_held_most) app.groups.clear();
            std::vector<ra_racer_group> found;
            if (!ra_query_groups(index->db(), racer, &found))
                return ra_answer(res, 500, "The library's index cannot be read.");
            held = app.groups.emplace(key, std::move(found)).first;
        }
        racer_groups = &held->second;
    }
    auto texts = [](const std::vector<std::string> &list) {
        nlohmann::json json = nlohmann::json::array();
        for (const std::string &t : list) json.push_back(ra_utf8_text(t));
        return json;
    };
    nlohmann::json groups = nlohmann::json::array();
    for (const ra_racer_group &g : *racer_groups) {
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
void ra_serve_chart(ra_app &, const ra_snapshot &now, const httplib::Request &req,
                    httplib::Response &res) {
    if (!now.have_library) return ra_answer(res, 500, now.error);
    const ra_game_setup &setup = now.setup;
    ra_library_index *index = now.index;
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
        std::string error;
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
void ra_serve_state(ra_app &app, const ra_snapshot &now, const httplib::Request &req,
                    httplib::Response &res) {
    if (!now.have_library) return ra_answer(res, 500, now.error);
    const ra_game_setup &setup = now.setup;
    ra_library_index *index = now.index;
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
void ra_answer_indexing(ra_app &app, const ra_snapshot &, const httplib::Request &req,
                        httplib::Response &res) {
    nlohmann::json answer = {{"indexing", ra_indexing(app)}};
    if (req.has_param("since")) {
        answer["cursor"] = req.get_param_value("since");
        answer["changed"] = nlohmann::json::array();
        answer["removed"] = nlohmann::json::array();
        answer["facts_changed"] = false;
    }
    ra_answer_json(res, answer);
}
