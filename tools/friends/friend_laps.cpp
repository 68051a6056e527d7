#include "friends/friend_laps.h"

#include <algorithm>

#include "friends/friends_folder.h"
#include "library/text/folded_name.h"
#include "library/record/lap_time.h"
#include "library/text/local_time.h"
#include "library/record/record_schema.h"

namespace fs = std::filesystem;

bool ra_friend_laps(const fs::path &dir, const std::string &name, const std::string &track,
                    const std::string &type, std::vector<ra_chart_lap> *out, std::string *error) {
    out->clear();
    ra_friend them;
    if (!ra_read_named_friend(dir, name, &them, error)) return false;
    const std::string want_track = ra_folded_name(track), want_type = ra_folded_name(type);
    for (const ra_record &r : them.records.lines) {
        // Their own car is the player's car of their record.
        if (r.player < 1 || ra_folded_name(r.get(ra_column_track)) != want_track ||
            ra_folded_name(r.get(ra_column_type)) != want_type) {
            continue;
        }
        ra_chart_lap lap;
        lap.lap = ra_parse_lap(r.get_car(ra_car_best_lap, r.player));
        if (lap.lap == 0) continue;
        lap.file = r.file;
        lap.when = ra_format_time(r.saved);
        out->push_back(lap);
    }
    std::stable_sort(out->begin(), out->end(),
                     [](const ra_chart_lap &a, const ra_chart_lap &b) { return a.when < b.when; });
    uint32_t best = 0;
    for (ra_chart_lap &lap : *out) {
        lap.pb = best == 0 || lap.lap < best;
        if (lap.pb) best = lap.lap;
    }
    return true;
}
