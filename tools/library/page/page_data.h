// The library as data for the page's script: the page of a long season
// draws its rows when they are shown instead of carrying them all as
// markup, and a page written to disk carries this data inside it, so that
// it still needs no server.
//
// One JSON object, small enough for tens of thousands of races:
//   "facts": the summary (dir, made, races, gone, others, warnings), the
//            racers (most races first), the one shown first, the player's
//            own name, and what each race type code means;
//   "texts": every type, track, laps, cars, weather and racer name once; a
//            row names them by their place here (0 is "", unknown);
//   "lap_texts": each lap a row gives, in hundredths, as the companion
//            shows it ({"8144": "1:21.44"}), so that the page writes laps
//            as the command line does and never formats one itself;
//   "rows":  one array per replay, newest first: file, saved time in
//            seconds since 1970 (the local time as written), type, track,
//            laps, cars, weather, fastest lap in hundredths, its racer,
//            [racer's place in facts.racers, their best lap, ...], then
//            state (0 saved, 1 missing, 2 replaced, 3 renamed), kind (0
//            race, 1 kept by restore, 2 unrecorded), copy (1: an unrecorded
//            file that holds a race), no facts (1: nothing tells the race),
//            the name it was renamed from; trailing zeros left out.
// Game text is JSON string text with '<', '>' and '&' escaped, so that it
// can never end the script element that carries it.
#pragma once

#include <string>

#include "library/replays/replays.h"

std::string ra_page_data(const ra_replay_list &list, const std::string &dir,
                         const std::string &made);

// A text as a JSON string, safe inside a script element.
std::string ra_json_text(const std::string &text);
