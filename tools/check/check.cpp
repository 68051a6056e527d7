// The check tool's core: loads the settings through the plug-in, names an
// example race for every race type code with the plug-in's cascade,
// expander and path builder, and collects the warnings.
#include "check/check.h"

#include <stdio.h>
#include <string.h>

#include "autosave/autosave.h"
#include "check/check_internal.h"
#include "platform/check_platform.h"
#include "game_image.h"
#include "game_memory.h"
#include "host/host.h"
#include "naming/naming.h"
#include "patches/hooks.h"
#include "settings/settings.h"
#include "snapshot/game_map.h"
#include "snapshot/track_digests.h"

// Game words per code, after the code table of the snapshot: race type 3
// takes its code from the variant, race type 4 from the circuit type, and
// 5 is the first race type the game does not have.
const ra_check_code ra_check_codes[] = {
    {"SR", 0, 0, 0, 0}, {"ST", 1, 0, 0, 0}, {"SK", 2, 0, 0, 0}, {"HC", 3, 0, 0, 0},
    {"HG", 3, 1, 0, 0}, {"HT", 3, 2, 0, 0}, {"HP", 3, 3, 0, 0}, {"MS", 0, 0, 0, 1},
    {"MT", 1, 0, 0, 1}, {"MK", 2, 0, 0, 1}, {"MC", 3, 4, 0, 1}, {"MX", 3, 5, 0, 1},
    {"MP", 3, 6, 0, 1}, {"MH", 3, 0, 0, 1}, {"CT", 4, 0, 0, 0}, {"CK", 4, 0, 1, 0},
    {"CH", 4, 0, 2, 0}, {"C", 4, 0, 3, 0},  {"??", 5, 0, 0, 0},
};
const uint32_t ra_check_code_count = sizeof ra_check_codes / sizeof ra_check_codes[0];

// Saturday, 7 March 2026, 21:05:09.
const SYSTEMTIME ra_check_clock = {2026, 3, 6, 7, 21, 5, 9, 0};

const char ra_check_builtin[] = "built-in";

namespace {

// The example race's track folder and the digests of the example track
// files shipped in examples/game/Tracks/Alpine.
const char ra_check_example_folder[] = "ALPINE";
const char ra_check_example_md5_tr[] = "c81245ac40f414e699ab87189318e7b9";
const char ra_check_example_md5_trn[] = "af0d7dbf0a0e346a3c062d8571c1e0db";

// Key column of the name list: the longest key, "built-in", and a blank.
const size_t ra_check_key_width = 9;

sim_car ra_check_car(uint32_t slot, std::initializer_list<uint32_t> laps, uint32_t total,
                     float speed, uint32_t state) {
    sim_car car;
    car.slot = slot;
    uint32_t i = 0;
    for (uint32_t t : laps) car.lap_times[i++] = t;
    car.total_time = total;
    car.top_speed = speed;
    car.state = state;
    return car;
}

// Writes the race into the game's memory as the game holds it when it saves
// the replay of a race of this code, and sets the hook words the plug-in
// captured from the game's career accessor and race setup.
void ra_check_stage(const sim_race_file &race, const ra_check_code &code) {
    sim_race r = race.race;
    r.race_type = code.race_type;
    r.race_variant = code.variant;
    r.m_flag = code.m_flag;
    sim_game_write_race(r);
    if (code.race_type == game_type_circuit) {
        vq_ra_circ_type = (int32_t)code.circ_type;
    } else {
        vq_ra_circ_type = race.has_circuit ? (int32_t)race.circuit_type : -1;
    }
    vq_ra_circ_id = race.circuit_id;
    ra_start_valid = race.has_race_start ? 1u : 0u;
    const SYSTEMTIME &s = race.race_start;
    ra_start_time = {s.wYear, s.wMonth,  s.wDayOfWeek, s.wDay,
                     s.wHour, s.wMinute, s.wSecond,    s.wMilliseconds};
}

// The destination the plug-in would copy to, as its after-race handler
// finds it, minus the copy; *ctx is left as the last naming attempt filled it.
// Paths Windows takes for one file: letter case, either separator and
// repeated separators make no difference.
std::string ra_check_file_key(const std::string &path) {
    std::string key;
    for (char c : path) {
        c = c == '/' ? '\\' : c;
        if (c == '\\' && !key.empty() && key.back() == '\\') continue;
        key += (c >= 'a' && c <= 'z') ? (char)(c - 'a' + 'A') : c;
    }
    return key;
}

// The example's fill: the plug-in's own, at the example's clock.
void ra_check_fill(ra_ctx *ctx, uint32_t index, void *) {
    const SYSTEMTIME &c = ra_check_clock;
    const ra_systemtime clock = {c.wYear, c.wMonth,  c.wDayOfWeek, c.wDay,
                                 c.wHour, c.wMinute, c.wSecond,    c.wMilliseconds};
    ra_fill_ctx_at(ctx, index, &clock);
}

ra_check_name ra_check_name_for(const ra_settings &settings, const sim_race_file &race,
                                const ra_check_code &code, ra_ctx *ctx) {
    ra_check_name out;
    out.code = &code;
    ra_check_stage(race, code);
    const char *key = nullptr;
    const char *tpl = ra_pick_tpl_in(settings.tpls, code.race_type, code.variant,
                                     (uint32_t)vq_ra_circ_type, code.m_flag, &key);
    out.key = key != nullptr ? key : ra_check_builtin;
    if (ra_strstr(tpl, RA_MD5_TR_MARKER) || ra_strstr(tpl, RA_MD5_TRN_MARKER)) ra_md5_refresh();

    char name[RA_NAME_BUF];
    char dst[RA_PATH_SIZE];
    unsigned long error = 0;
    const ra_destination_world world = {ra_check_fill, ra_test_candidate, nullptr};
    switch (ra_find_destination(settings.dir, settings.index_start, tpl, &world, ctx, name, dst,
                                &error)) {
    case RA_DEST_FOUND:
        out.path = dst;
        break;
    case RA_DEST_EMPTY:
        out.why_none = "the name comes out empty";
        break;
    case RA_DEST_TOO_LONG:
        out.why_none = "the path would be longer than 259 characters";
        break;
    case RA_DEST_UNKNOWN:
        out.why_none = std::string("cannot tell whether ") + dst + " exists (error " +
                       std::to_string(error) + ")";
        break;
    case RA_DEST_ALL_TAKEN:
        out.why_none = "no free name: " + std::to_string(RA_INDEX_PROBES) + " numbers taken";
        break;
    }
    return out;
}

// The name, or why nothing is saved: the plug-in is off, or the name is the
// game's own replay (the plug-in never copies a file onto itself, and a
// path Windows takes for the same file fails to copy).
ra_check_name ra_check_saved_name(const ra_settings &settings, const sim_race_file &race,
                                  const ra_check_code &code, const std::string &source,
                                  ra_ctx *ctx) {
    ra_check_name out = ra_check_name_for(settings, race, code, ctx);
    if (!settings.enabled) {
        out.path.clear();
        out.why_none = ra_setting_name(RA_SET_ENABLED) + " is 0";
    } else if (!out.path.empty() && ra_check_file_key(out.path) == ra_check_file_key(source)) {
        out.path.clear();
        out.why_none = "the name is the game's own replay " + source;
        out.is_source = true;
    }
    return out;
}

std::string ra_check_note(const ra_check_entry *raw, const std::string &more) {
    if (raw == nullptr) return "  (not set: the default)";
    return more.empty() ? "" : "  (" + more + ")";
}

std::string ra_check_pad(const std::string &s, size_t width) {
    return s.size() >= width ? s + " " : s + std::string(width - s.size(), ' ');
}

// "  KEY        ": a settings line's start.
std::string ra_check_label(const std::string &key) { return "  " + ra_check_pad(key, 11); }

void ra_check_settings(const ra_settings &settings, const ra_check_ini &ini,
                       const std::vector<std::string> &used, std::vector<std::string> *lines,
                       std::vector<std::string> *templates) {
    const std::string enabled = ra_setting_name(RA_SET_ENABLED);
    const ra_check_entry *raw = ra_check_find_key(ini, enabled.c_str());
    lines->push_back(ra_check_label(enabled) + std::to_string(settings.enabled) +
                     ra_check_note(raw, settings.enabled ? "on" : "off: no replay is saved"));

    const std::string dir = ra_setting_name(RA_SET_DIR);
    raw = ra_check_find_key(ini, dir.c_str());
    std::string note;
    if (raw != nullptr && raw->value.empty()) note = "empty in the file: the default";
    if (raw != nullptr && raw->value.size() > RA_DIR_SIZE - 1) {
        note = "cut to " + std::to_string(RA_DIR_SIZE - 1) + " characters; the file has " +
               std::to_string(raw->value.size());
    }
    lines->push_back(ra_check_label(dir) + settings.dir + ra_check_note(raw, note));

    const std::string index_start = ra_setting_name(RA_SET_INDEX_START);
    raw = ra_check_find_key(ini, index_start.c_str());
    note.clear();
    uint32_t given;
    if (raw != nullptr && ra_profile_int(raw->value, &given) && (int32_t)given < 0) {
        note = "the file says " + std::to_string((int32_t)given) + "; below 0 counts as 0";
    }
    lines->push_back(ra_check_label(index_start) + std::to_string(settings.index_start) +
                     ra_check_note(raw, note));

    const std::string clear_ip = ra_setting_name(RA_SET_CLEAR_IP);
    raw = ra_check_find_key(ini, clear_ip.c_str());
    lines->push_back(ra_check_label(clear_ip) + std::to_string(settings.clear_ip) +
                     ra_check_note(raw, settings.clear_ip ? "IP addresses are blanked in each copy"
                                                          : "copies stay as the game wrote them"));

    const std::string record = ra_setting_name(RA_SET_RECORD);
    raw = ra_check_find_key(ini, record.c_str());
    note = settings.record_enabled ? "a line per saved replay in " + dir + "\\" RA_RECORD_FILE
                                   : "no record: list, prune and page see only the files";
    // On by default; players who never wrote the key should learn what it does.
    lines->push_back(
        ra_check_label(record) + std::to_string(settings.record_enabled) +
        (raw == nullptr ? "  (not set: on by default, " + note + ")" : ra_check_note(raw, note)));

    for (const ra_tpl &t : settings.tpls) {
        raw = ra_check_find_key(ini, t.key);
        std::string line = ra_check_label(t.key);
        if (t.value[0] == '\0') {
            templates->push_back(line + "-");
            continue;
        }
        line += t.value;
        if (raw != nullptr && raw->value.size() > RA_TPL_SIZE - 1) {
            line += "  (cut to " + std::to_string(RA_TPL_SIZE - 1) + " characters; the file has " +
                    std::to_string(raw->value.size()) + ")";
        }
        bool serves = false;
        for (const std::string &k : used) serves = serves || k == t.key;
        if (!serves) line += "  (never used: other keys serve every race it could)";
        templates->push_back(line);
    }
}

std::string ra_check_two(uint32_t v) {
    char text[16];
    snprintf(text, sizeof text, "%02u", v % 100u);
    return text;
}

}  // namespace

void ra_check_example_race(sim_race_file *out) {
    *out = sim_race_file();
    sim_race &r = out->race;
    r.laps = 3;
    r.track_index = 2;
    r.cars = 4;
    r.cops_a = 1;
    r.cops_b = 1;
    r.seed = 0x1234ABCDu;
    r.night = 1;
    r.timer_start = 1000;
    r.timer_now = 20200;
    r.replay_dir = "Replays\\";
    r.track_root = "Tracks\\";
    const char *const folders[] = {"Coast", "City", "Alpine"};
    for (uint32_t i = 0; i < 3; ++i) {
        r.has_track_folder[i] = true;
        r.track_folders[i] = folders[i];
    }
    const char *const racers[] = {"Player", "Rival:One", "Racer?3", "Racer4"};
    for (uint32_t i = 0; i < 4; ++i) r.racers[i] = racers[i];
    r.start_positions[0] = 3;
    r.car_table = {ra_check_car(0, {5340, 5212, 5299}, 15851, 61.5f, 3),
                   ra_check_car(1, {5401, 5388, 5350}, 16139, 60.25f, 3),
                   ra_check_car(2, {5600, 5590}, 0, 58.0f, 0), sim_car{true}};
    r.car_count = (uint32_t)r.car_table.size();
    // Career races name the circuit they belong to.
    out->has_circuit = true;
    out->circuit_id = 7;
    out->has_race_start = true;
    out->race_start = {2026, 3, 6, 7, 20, 59, 30, 0};
}

void ra_check_run(const std::string &ini_path, const std::string &ini_text,
                  const sim_race_file *given, ra_check_report *out, bool ini_missing) {
    *out = ra_check_report();
    out->ini_path = ini_path;
    out->ini_missing = ini_missing;
    ra_check_ini ini;
    ra_check_scan_ini(ini_text, &ini);
    // A missing file gives the plug-in every default, as here.
    std::string profile_path = ra_check_profile_path(ini_path);
    // What the plug-in would load from this file; its code below runs on it.
    // The plug-in of this process holds it as its own too, as the game's
    // would after its start.
    ra_settings settings;
    ra_load_settings(profile_path.c_str(), &settings);
    ra_keep_settings(&settings);
    ra_cfg_loaded = 1;
    ra_check_read_system(profile_path, &ini);

    sim_race_file race;
    if (given != nullptr) {
        race = *given;
    } else {
        ra_check_example_race(&race);
        // The example track's files are not where the example race says,
        // so their digests are put in the plug-in's cache directly.
        ra_md5_valid = 1;
        ra_stpcpy(ra_md5_folder, ra_check_example_folder);
        ra_stpcpy(ra_md5_tr, ra_check_example_md5_tr);
        ra_stpcpy(ra_md5_trn, ra_check_example_md5_trn);
    }
    // The plug-in reads the game where its image lies in this process (at
    // the game's base, or wherever the Windows program holds it, which the
    // plug-in's address translation covers); its log stays quiet.
    sim_game_map();
    ra_game = (uint32_t)sim_game_origin;
    ra_log = nullptr;

    // The game's replay, as the plug-in forms its path.
    std::string source = race.race.replay_dir + RA_REPLAY_FILE;
    ra_ctx example = {};
    std::vector<std::string> used;
    for (uint32_t i = 0; i < ra_check_code_count; ++i) {
        ra_ctx ctx;
        ra_check_name name = ra_check_saved_name(settings, race, ra_check_codes[i], source, &ctx);
        if (i == 0) example = ctx;
        used.push_back(name.key);
        out->names.push_back(name);
    }
    // An unknown race type is served by the group key, so the M flag matters.
    const ra_check_code &unknown = ra_check_codes[ra_check_code_count - 1];
    const char *key_m = nullptr;
    ra_pick_tpl_in(settings.tpls, unknown.race_type, unknown.variant, unknown.circ_type, 1, &key_m);
    std::string unknown_m = key_m != nullptr ? key_m : ra_check_builtin;
    used.push_back(unknown_m);
    if (unknown_m != out->names.back().key) out->names.back().key_m = unknown_m;

    out->example_race = given == nullptr;
    out->race = std::string("track ") + (example.track[0] ? example.track : "(none)") + ", " +
                std::to_string(example.laps) + " laps, " + std::to_string(example.cars) +
                " cars, saved " + std::to_string(ra_check_clock.wYear) + "-" +
                ra_check_two(ra_check_clock.wMonth) + "-" + ra_check_two(ra_check_clock.wDay) +
                " " + ra_check_two(ra_check_clock.wHour) + ":" +
                ra_check_two(ra_check_clock.wMinute) + ":" + ra_check_two(ra_check_clock.wSecond);

    out->enabled = settings.enabled != 0;
    ra_check_settings(settings, ini, used, &out->settings, &out->templates);
    ra_check_warnings(settings, ini, example, &out->warnings);
    ra_check_name_warnings(settings, ini, out->names, used, source, &out->warnings);
    // Dir starts in the game's folder, the INI's.
    ra_check_dir_warnings(settings, profile_path.substr(0, profile_path.find_last_of("\\/") + 1),
                          &out->warnings);
}

namespace {

// Text from the file as a terminal can show it: control bytes (a NUL of a
// UTF-16 file read as ANSI, say) become '?'.
std::string ra_check_printable(const std::string &s) {
    std::string out = s;
    for (char &c : out) {
        if ((unsigned char)c < 0x20 && c != '\n') c = '?';
    }
    return out;
}

}  // namespace

std::string ra_check_format(const ra_check_report &report, bool quiet) {
    std::string text;
    if (!quiet) {
        if (report.ini_missing) {
            text += "There is no " + report.ini_path +
                    ": the plug-in runs on its defaults, which are these:\n";
        } else {
            text += "Settings the plug-in reads from " + report.ini_path + ":\n";
        }
        for (const std::string &line : report.settings) text += line + "\n";
        text += "\nName templates (\"-\": not set):\n";
        for (const std::string &line : report.templates) text += line + "\n";
        if (!report.enabled) {
            text += "\nNo file names: " + ra_setting_name(RA_SET_ENABLED) +
                    " is 0, so the plug-in is off and saves no replay.\n";
        } else {
            text += std::string("\nFile names for each race type code (") +
                    (report.example_race ? "example race" : "race file") + ": " + report.race +
                    "):\n";
            for (const ra_check_name &n : report.names) {
                text +=
                    "  " + ra_check_pad(n.code->code, 4) + ra_check_pad(n.key, ra_check_key_width);
                text += n.path.empty() ? "(nothing saved: " + n.why_none + ")" : n.path;
                if (!n.key_m.empty()) text += "  (with the M flag set: " + n.key_m + ")";
                text += "\n";
            }
        }
        text += "\n";
        if (report.warnings.empty()) text += "No warnings.\n";
    }
    for (const std::string &w : report.warnings) text += "warning: " + w + "\n";
    return ra_check_printable(text);
}
