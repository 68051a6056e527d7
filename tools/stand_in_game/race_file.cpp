#include "race_file.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <map>

namespace {

std::string trim(const std::string &s) {
    size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) return "";
    size_t e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

std::string lower(std::string s) {
    for (char &c : s) {
        if (c >= 'A' && c <= 'Z') c = (char)(c - 'A' + 'a');
    }
    return s;
}

// Decimal or 0x-hex, the whole text, within 32 bits.
bool parse_u32(const std::string &text, uint32_t *out) {
    if (text.empty()) return false;
    const char *s = text.c_str();
    int base = 10;
    if (text.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        s += 2;
    }
    if (*s == '\0' || *s == '-' || *s == '+' || *s == ' ') return false;
    char *end = nullptr;
    unsigned long long v = strtoull(s, &end, base);
    if (*end != '\0' || v > 0xFFFFFFFFull) return false;
    *out = (uint32_t)v;
    return true;
}

bool parse_float(const std::string &text, float *out) {
    if (text.empty()) return false;
    char *end = nullptr;
    *out = strtof(text.c_str(), &end);
    return *end == '\0';
}

// Index of a numbered section or key within [lo, hi], or -1.
int parse_index(const std::string &text, int lo, int hi) {
    uint32_t v;
    if (text.empty() || text.size() > 2 || (text[0] == '0' && text.size() > 1)) return -1;
    if (!parse_u32(text, &v) || (int)v < lo || (int)v > hi) return -1;
    return (int)v;
}

struct parser {
    std::string source;
    int line = 0;
    std::string *error;
    sim_race_file *out;
    int highest_car = 0;
    bool car_count_given = false;

    bool fail(const std::string &what) {
        *error = source + ":" + std::to_string(line) + ": " + what;
        return false;
    }

    bool number(const std::string &key, const std::string &value, uint32_t *field) {
        if (!parse_u32(value, field))
            return fail("'" + key + "' needs a number, got '" + value + "'");
        return true;
    }

    // A number read as yes (not 0) or no (0). The field changes only when
    // the number is good.
    bool flag(const std::string &key, const std::string &value, bool *field) {
        uint32_t v = 0;
        if (!number(key, value, &v)) return false;
        *field = v != 0;
        return true;
    }

    bool game_key(const std::string &key, const std::string &value) {
        sim_race &r = out->race;
        const std::map<std::string, uint32_t *> words = {
            {"race_type", &r.race_type},
            {"m_flag", &r.m_flag},
            {"race_variant", &r.race_variant},
            {"tier", &r.tier},
            {"track_index", &r.track_index},
            {"laps", &r.laps},
            {"reverse", &r.reverse},
            {"mirror", &r.mirror},
            {"night", &r.night},
            {"wet", &r.wet},
            {"player_index", &r.player_index},
            {"cars", &r.cars},
            {"cops_a", &r.cops_a},
            {"cops_b", &r.cops_b},
            {"traffic", &r.traffic},
            {"seed", &r.seed},
            {"playback_flag", &r.playback_flag},
            {"playback_state", &r.playback_state},
            {"timer_now", &r.timer_now},
            {"timer_start", &r.timer_start},
            {"car_count", &r.car_count},
            {"replay_size", &out->replay_size},
        };
        auto w = words.find(key);
        if (w != words.end()) {
            if (key == "car_count") car_count_given = true;
            return number(key, value, w->second);
        }
        if (key == "replay_dir") {
            r.replay_dir = value;
        } else if (key == "track_root") {
            r.track_root = value;
        } else if (key == "save_site") {
            if (value != "finish" && value != "pause") {
                return fail("save_site must be finish or pause, got '" + value + "'");
            }
            out->pause_site = value == "pause";
        } else if (key == "write_replay") {
            return flag(key, value, &out->write_replay);
        } else if (key == "replay_ip") {
            out->replay_ip = value;
        } else {
            return fail("unknown key '" + key + "' in [game]");
        }
        return true;
    }

    bool car_key(int car, const std::string &key, const std::string &value) {
        std::vector<sim_car> &table = out->race.car_table;
        if ((int)table.size() < car) table.resize((size_t)car, sim_car{true});
        sim_car &c = table[(size_t)car - 1];
        if (key == "slot") return number(key, value, &c.slot);
        if (key == "total_time") return number(key, value, &c.total_time);
        if (key == "state") return number(key, value, &c.state);
        if (key == "top_speed") {
            if (!parse_float(value, &c.top_speed))
                return fail("'top_speed' needs a number, got '" + value + "'");
            return true;
        }
        if (key == "empty") return flag(key, value, &c.empty);
        if (key == "lap_times") {
            size_t n = 0, start = 0;
            while (start <= value.size()) {
                size_t comma = value.find(',', start);
                std::string item = trim(value.substr(
                    start, comma == std::string::npos ? std::string::npos : comma - start));
                if (n == SIM_LAP_TIMES) return fail("'lap_times' holds at most 8 times");
                if (!number(key, item, &c.lap_times[n])) return false;
                ++n;
                if (comma == std::string::npos) break;
                start = comma + 1;
            }
            return true;
        }
        return fail("unknown key '" + key + "' in [car" + std::to_string(car) + "]");
    }

    bool entry(const std::string &section, const std::string &key, const std::string &value) {
        sim_race &r = out->race;
        if (section == "game") return game_key(key, value);
        if (section == "track_folders") {
            int i = parse_index(key, 0, SIM_TRACK_FOLDERS - 1);
            if (i < 0) return fail("track folder key must be 0..18, got '" + key + "'");
            r.has_track_folder[i] = true;
            r.track_folders[i] = value;
            return true;
        }
        if (section == "racers") {
            int i = parse_index(key, 1, SIM_RACERS);
            if (i < 0) return fail("racer key must be 1..16, got '" + key + "'");
            if (value.size() > 12) return fail("racer name longer than 12 bytes: '" + value + "'");
            r.racers[i - 1] = value;
            return true;
        }
        if (section == "start_positions") {
            int i = parse_index(key, 0, SIM_RACERS - 1);
            if (i < 0) return fail("start position key must be 0..15, got '" + key + "'");
            return number(key, value, &r.start_positions[i]);
        }
        if (section == "circuit") {
            if (key == "type") return number(key, value, &out->circuit_type);
            if (key == "id") return number(key, value, &out->circuit_id);
            return fail("unknown key '" + key + "' in [circuit]");
        }
        if (section == "race_start") {
            if (key != "clock") return fail("unknown key '" + key + "' in [race_start]");
            if (!sim_parse_clock(value, &out->race_start)) {
                return fail("clock must be YYYY-MM-DDTHH:MM:SS, got '" + value + "'");
            }
            return true;
        }
        if (section.compare(0, 3, "car") == 0) {
            return car_key(parse_index(section.substr(3), 1, SIM_CAR_TABLE), key, value);
        }
        return fail("key outside a known section");
    }

    bool open_section(const std::string &name) {
        if (name == "circuit") out->has_circuit = true;
        if (name == "race_start") out->has_race_start = true;
        if (name.compare(0, 3, "car") == 0) {
            int car = parse_index(name.substr(3), 1, SIM_CAR_TABLE);
            if (car < 0) return fail("car sections are [car1] to [car16], got [" + name + "]");
            if (car > highest_car) highest_car = car;
            if ((int)out->race.car_table.size() < car) {
                out->race.car_table.resize((size_t)car, sim_car{true});
            }
            out->race.car_table[(size_t)car - 1].empty = false;
            return true;
        }
        static const char *const known[] = {"game",    "track_folders", "racers", "start_positions",
                                            "circuit", "race_start"};
        for (const char *k : known) {
            if (name == k) return true;
        }
        return fail("unknown section [" + name + "]");
    }
};

}  // namespace

bool sim_parse_clock(const std::string &text, SYSTEMTIME *out) {
    unsigned y, mo, d, h, mi, s;
    char tail;
    if (sscanf(text.c_str(), "%4u-%2u-%2uT%2u:%2u:%2u%c", &y, &mo, &d, &h, &mi, &s, &tail) != 6) {
        return false;
    }
    if (text.size() != 19 || mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 59) {
        return false;
    }
    // Day of week by Sakamoto's method: 0 is Sunday, as Windows counts.
    static const int month_offset[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    unsigned yy = mo < 3 ? y - 1 : y;
    unsigned dow = (yy + yy / 4 - yy / 100 + yy / 400 + (unsigned)month_offset[mo - 1] + d) % 7;
    *out = SYSTEMTIME{(WORD)y, (WORD)mo, (WORD)dow, (WORD)d, (WORD)h, (WORD)mi, (WORD)s, 0};
    return true;
}

bool sim_parse_race_file(const std::string &text, const std::string &source, sim_race_file *out,
                         std::string *error) {
    *out = sim_race_file();
    parser p;
    p.source = source;
    p.error = error;
    p.out = out;
    std::string section;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t nl = text.find('\n', pos);
        std::string raw = text.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
        pos = nl == std::string::npos ? text.size() : nl + 1;
        ++p.line;
        std::string line = trim(raw);
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line[0] == '[') {
            if (line.back() != ']') return p.fail("section header without ']'");
            section = lower(trim(line.substr(1, line.size() - 2)));
            if (!p.open_section(section)) return false;
            continue;
        }
        size_t eq = line.find('=');
        if (eq == std::string::npos) return p.fail("expected key = value");
        std::string key = lower(trim(line.substr(0, eq)));
        std::string value = line.substr(eq + 1);
        // A ';' after white space starts a comment at the end of the line.
        for (size_t i = 1; i < value.size(); ++i) {
            if (value[i] == ';' && (value[i - 1] == ' ' || value[i - 1] == '\t')) {
                value.erase(i);
                break;
            }
        }
        value = trim(value);
        if (section.empty()) return p.fail("key '" + key + "' before any section");
        if (!p.entry(section, key, value)) return false;
    }
    if (!p.car_count_given) out->race.car_count = (uint32_t)out->race.car_table.size();
    return true;
}
