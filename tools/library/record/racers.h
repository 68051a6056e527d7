// The racers of the record file and their laps: whose laps the library
// charts, and which races were a racer's personal best. A racer is known by
// name, the only thing the record keeps of a car's driver; names compare
// ignoring letter case, as the game shows them in capitals in places.
#pragma once

#include <stdint.h>

#include <map>
#include <string>
#include <vector>

#include "library/record/record_reader.h"
#include "library/replays/replays.h"

// The racer's best lap in the race in hundredths; 0 when they did not race
// in it or set no lap.
uint32_t ra_racer_lap(const ra_record &record, const std::string &racer);

// Every racer's name found in the races, most races first (of as many, the
// one who drove a lower car number first), each once.
std::vector<std::string> ra_racer_names(const ra_replay_list &list);

// The player's own name: the name at `player` in the newest race that has
// one; empty when no line tells whose car was the player's.
std::string ra_player_name(const ra_replay_list &list);

// The racer the library is about: the player's name; without one, the name found in the most races;
// empty when no race names a racer.
std::string ra_default_racer(const ra_replay_list &list);

// The same three counted over races taken one at a time, in the list's
// order: what the index's rebuild counts while it streams the list.
class ra_racer_tally {
public:
    void add(const ra_replay &replay);
    // The same, of races taken oldest first (each newer than all before):
    // the name is then kept as the newest race spells it, as add keeps it.
    void add_newer(const ra_replay &replay);
    std::vector<std::string> names() const;
    std::string player() const { return player_; }
    std::string default_racer() const;

private:
    void count(const ra_replay &replay, bool newer);
    struct ra_named {
        std::string name;  // as first seen
        size_t races = 0;
        int car = 0;  // the lowest car number it drove
    };
    std::map<std::string, ra_named> races_;  // by upper case
    bool have_player_ = false;
    ra_time player_when_;
    int player_line_ = 0;
    std::string player_;
};

// One race of the racer, by the index of its entry in list.replays.
struct ra_racer_race {
    size_t replay = 0;      // index in list.replays
    uint32_t lap = 0;       // the racer's best lap in it, in hundredths
    bool personal = false;  // a personal best: faster than every earlier race of theirs on
                            // the track (the first race there is none)
};

// The races (kind race, any state) in which the racer set a lap, oldest
// first, with their personal bests per track.
std::vector<ra_racer_race> ra_racer_races(const ra_replay_list &list, const std::string &racer);
