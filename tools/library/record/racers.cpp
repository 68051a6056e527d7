// The racers of the record file and their personal bests.
#include "library/record/racers.h"

#include <algorithm>
#include <map>

#include "naming/naming.h"
#include "settings/settings.h"
#include "snapshot/race_context.h"

namespace {

std::string ra_upper(const std::string &text) {
    std::string up = text;
    for (char &c : up) c = c >= 'a' && c <= 'z' ? (char)(c - 'a' + 'A') : c;
    return up;
}

// Races oldest first: by saved time, then by record line.
bool ra_earlier(const ra_replay &a, const ra_replay &b) {
    if (!(a.when == b.when)) return a.when < b.when;
    return (a.record ? a.record->line : 0) < (b.record ? b.record->line : 0);
}

}  // namespace

uint32_t ra_racer_lap(const ra_record &record, const std::string &racer) {
    uint32_t best = 0;
    for (int car = 1; car <= RA_CARS; ++car) {
        const std::string &name = record.get_car(ra_car_name, car);
        if (name.empty() || !ra_ieq(name.c_str(), racer.c_str())) continue;
        uint32_t lap = ra_parse_lap(record.get_car(ra_car_best_lap, car));
        if (lap != 0 && (best == 0 || lap < best)) best = lap;
    }
    return best;
}

void ra_racer_tally::add(const ra_replay &r) { count(r, false); }

void ra_racer_tally::add_newer(const ra_replay &r) { count(r, true); }

void ra_racer_tally::count(const ra_replay &r, bool newer) {
    if (r.kind != ra_replay_kind::race || !r.record) return;
    std::vector<std::string> seen;
    for (int car = 1; car <= RA_CARS; ++car) {
        const std::string &name = r.record->get_car(ra_car_name, car);
        if (name.empty()) continue;
        std::string key = ra_upper(name);
        if (std::find(seen.begin(), seen.end(), key) != seen.end()) continue;
        seen.push_back(key);
        auto found = races_.find(key);
        if (found == races_.end()) found = races_.emplace(key, ra_named{name, 0, car}).first;
        if (newer) found->second.name = name;
        ++found->second.races;
        found->second.car = std::min(found->second.car, car);
    }
    // The newest race that names the player's car.
    const int car = r.record->player;
    if (car < 1 || car > RA_CARS) return;
    const std::string &name = r.record->get_car(ra_car_name, car);
    if (name.empty()) return;
    if (have_player_ && !(player_when_ < r.when) &&
        !(player_when_ == r.when && player_line_ < r.record->line)) {
        return;
    }
    have_player_ = true;
    player_when_ = r.when;
    player_line_ = r.record->line;
    player_ = name;
}

std::vector<std::string> ra_racer_tally::names() const {
    // Of racers in as many races, the one in the lower car first: the
    // player's car comes before the rivals' in the game's own races.
    std::vector<ra_named> named;
    for (const auto &e : races_) named.push_back(e.second);
    std::stable_sort(named.begin(), named.end(), [](const ra_named &a, const ra_named &b) {
        return a.races != b.races ? a.races > b.races : a.car < b.car;
    });
    std::vector<std::string> names;
    for (const ra_named &n : named) names.push_back(n.name);
    return names;
}

std::string ra_racer_tally::default_racer() const {
    if (!player_.empty()) return player_;
    std::vector<std::string> all = names();
    return all.empty() ? std::string() : all[0];
}

namespace {

ra_racer_tally ra_tally_of(const ra_replay_list &list) {
    ra_racer_tally tally;
    for (const ra_replay &r : list.replays) tally.add(r);
    return tally;
}

}  // namespace

std::vector<std::string> ra_racer_names(const ra_replay_list &list) {
    return ra_tally_of(list).names();
}

std::string ra_player_name(const ra_replay_list &list) { return ra_tally_of(list).player(); }

std::string ra_default_racer(const ra_replay_list &list) {
    return ra_tally_of(list).default_racer();
}

std::vector<ra_racer_race> ra_racer_races(const ra_replay_list &list, const std::string &racer) {
    std::vector<ra_racer_race> races;
    if (racer.empty()) return races;
    for (size_t i = 0; i < list.replays.size(); ++i) {
        const ra_replay &r = list.replays[i];
        if (r.kind != ra_replay_kind::race || !r.record) continue;
        uint32_t lap = ra_racer_lap(*r.record, racer);
        if (lap != 0) races.push_back({i, lap, false});
    }
    std::stable_sort(races.begin(), races.end(),
                     [&](const ra_racer_race &a, const ra_racer_race &b) {
                         return ra_earlier(list.replays[a.replay], list.replays[b.replay]);
                     });
    std::map<std::string, uint32_t> best;  // by track, upper case
    for (ra_racer_race &race : races) {
        std::string track = ra_upper(list.replays[race.replay].record->get(ra_column_track));
        auto found = best.find(track);
        if (found == best.end()) {
            best[track] = race.lap;
        } else if (race.lap < found->second) {
            race.personal = true;
            found->second = race.lap;
        }
    }
    return races;
}
