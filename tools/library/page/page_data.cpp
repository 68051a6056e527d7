#include "library/page/page_data.h"

#include <stdio.h>

#include <algorithm>
#include <map>
#include <set>
#include <vector>

#include "library/text/folded_name.h"
#include "library/text/html_text.h"
#include "library/record/lap_time.h"
#include "library/record/racers.h"
#include "library/record/record_schema.h"
#include "library/record/type_codes.h"
#include "snapshot/race_context.h"

namespace {

// The race an entry shows the facts of: its own, or the one a file holds.
const ra_record *ra_facts_of(const ra_replay &r) {
    if (r.record) return &*r.record;
    return r.holds ? &*r.holds : nullptr;
}

int64_t ra_seconds_of(const ra_time &t) {
    return ra_day_of(t) * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
}

// The texts a row names by number, each once.
struct ra_text_table {
    std::vector<std::string> texts{std::string()};
    std::map<std::string, size_t> places{{std::string(), 0}};
    size_t place(const std::string &text) {
        auto it = places.find(text);
        if (it != places.end()) return it->second;
        texts.push_back(text);
        return places[text] = texts.size() - 1;
    }
};

std::string ra_json_list(const std::vector<std::string> &texts) {
    std::string json = "[";
    for (size_t i = 0; i < texts.size(); ++i) json += (i ? "," : "") + ra_json_text(texts[i]);
    return json + "]";
}

}  // namespace

std::string ra_json_text(const std::string &text) {
    std::string json = "\"";
    for (unsigned char c : ra_utf8_text(text)) {
        if (c == '"' || c == '\\') {
            json += '\\';
            json += (char)c;
        } else if (c < 0x20 || c == '<' || c == '>' || c == '&') {
            char escaped[8];
            snprintf(escaped, sizeof escaped, "\\u%04x", c);
            json += escaped;
        } else {
            json += (char)c;
        }
    }
    return json + "\"";
}

std::string ra_page_data(const ra_replay_list &list, const std::string &dir,
                         const std::string &made) {
    const std::vector<std::string> racers = ra_racer_names(list);
    std::map<std::string, size_t> racer_place;  // folded name: place in racers
    for (size_t i = 0; i < racers.size(); ++i) racer_place[ra_folded_name(racers[i])] = i;

    ra_text_table texts;
    std::set<std::string> codes;
    std::set<uint32_t> laps_shown;  // every lap a row names, to give its text once
    size_t races = 0, gone = 0, others = 0;
    std::string rows;
    for (const ra_replay &r : list.replays) {
        const bool race = r.kind == ra_replay_kind::race;
        const bool there = r.state == ra_replay_state::saved || r.state == ra_replay_state::renamed;
        races += race ? 1 : 0;
        gone += race && !there ? 1 : 0;
        others += race ? 0 : 1;
        const ra_record *facts = ra_facts_of(r);
        auto text = [&](const char *column) {
            return std::to_string(texts.place(facts ? facts->get(column) : std::string()));
        };
        std::string row = "[" + ra_json_text(r.file) + "," + std::to_string(ra_seconds_of(r.when));
        for (const char *column :
             {ra_column_type, ra_column_track, ra_column_laps, ra_column_cars, ra_column_weather}) {
            row += "," + text(column);
        }
        if (facts) codes.insert(facts->get(ra_column_type));
        const uint32_t lap = facts ? facts->fastest_lap : 0;
        const std::string by = facts && lap ? facts->get_car(ra_car_name, facts->fastest_car) : "";
        if (lap) laps_shown.insert(lap);
        row += "," + std::to_string(lap) + "," + std::to_string(texts.place(by)) + ",[";
        if (race && r.record) {
            // Each racer's best lap in the race (a name may drive two cars).
            std::map<size_t, uint32_t> laps;
            for (int car = 1; car <= RA_CARS; ++car) {
                const std::string &name = r.record->get_car(ra_car_name, car);
                uint32_t best = ra_parse_lap(r.record->get_car(ra_car_best_lap, car));
                if (name.empty() || best == 0) continue;
                size_t who = racer_place[ra_folded_name(name)];
                auto same = laps.find(who);
                if (same == laps.end() || best < same->second) laps[who] = best;
            }
            std::string pairs;
            for (const auto &l : laps) {
                laps_shown.insert(l.second);
                pairs += (pairs.empty() ? "" : ",") + std::to_string(l.first) + "," +
                         std::to_string(l.second);
            }
            row += pairs;
        }
        row += "]";
        const int state = (int)r.state;
        const int kind = (int)r.kind;
        const int copy = r.kind == ra_replay_kind::unrecorded && r.holds ? 1 : 0;
        const int no_facts = facts ? 0 : 1;
        const std::string from = r.state == ra_replay_state::renamed && r.record
                                     ? ra_json_text(r.record->file)
                                     : std::string();
        std::vector<std::string> tail = {std::to_string(state), std::to_string(kind),
                                         std::to_string(copy), std::to_string(no_facts), from};
        while (!tail.empty() && (tail.back() == "0" || tail.back().empty())) tail.pop_back();
        for (const std::string &t : tail) row += "," + (t.empty() ? std::string("0") : t);
        rows += (rows.empty() ? "" : ",\n") + row + "]";
    }

    std::string meanings;
    for (const std::string &code : codes) {
        const std::string meaning = ra_type_code_meaning(code);
        if (meaning.empty()) continue;
        meanings +=
            (meanings.empty() ? "" : ",") + ra_json_text(code) + ":" + ra_json_text(meaning);
    }
    std::string lap_texts;
    for (uint32_t lap : laps_shown) {
        lap_texts += (lap_texts.empty() ? "\"" : ",\"") + std::to_string(lap) +
                     "\":" + ra_json_text(ra_lap_text(lap));
    }
    std::string json = "{\"facts\":{\"dir\":" + ra_json_text(dir) +
                       ",\"made\":" + ra_json_text(made) + ",\"races\":" + std::to_string(races) +
                       ",\"gone\":" + std::to_string(gone) +
                       ",\"others\":" + std::to_string(others) +
                       ",\"warnings\":" + ra_json_list(list.records.warnings) +
                       ",\"racers\":" + ra_json_list(racers) +
                       ",\"default_racer\":" + ra_json_text(ra_default_racer(list)) +
                       ",\"player\":" + ra_json_text(ra_player_name(list)) +
                       ",\"type_meanings\":{" + meanings + "}}";
    return json + ",\n\"texts\":" + ra_json_list(texts.texts) + ",\n\"lap_texts\":{" + lap_texts +
           "},\n\"rows\":[\n" + rows + "]}";
}
