// The check tool names a race exactly as the plug-in does when the game
// really saves it: for every race type code, the path the tool prints is
// the path the simulated game's plug-in logs and copies to, with the same
// INI and race file.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "check/check.h"
#include "plugin_state.h"
#include "settings/settings.h"
#include "sim_win32.h"
#include "simulation.h"

namespace {

// Templates that reach every key of the cascade and most tokens, with names
// that need filtering (a ':' in a racer name, a '.', a ".rp4" of their own),
// digests of the track files, and the index probe.
const char test_ini[] =
    "[ReplayAutosave]\n"
    "Dir = SaveData/Replays\\Auto\n"
    "IndexStart = 5\n"
    "Name = %date%_%time%_%type%_%track%_%laps%L_%index%\n"
    "sr_name = %track%_%date%_%time%_%laps%L_%direction%_%name2%\n"
    "st_name = %start_date%_%start_time%_%weather%_%night%_%mirror%_%dir%\n"
    "sk_name = %seed%_%cops%_%traffic%_%count%_%cars%_%tier%_%start_pos%_%time%\n"
    "hc_name = %best_lap_car1%s_%total_time_car2%_%total_time_car3%_%max_speed_car3%_%time%\n"
    "hg_name = %track_trn_md5%_%index%\n"
    "s_name = %date%_%time%_%type%_%name3%\n"
    "ms_name = %name1%_vs_%name3%_%time%.rp4\n"
    "m_name = %date%_%time%_%type%_%Track%\n"
    "ct_name = %circ%_%type%_%time%_%index%\n"
    "c_name = %type%_%circ%_%track_tr_md5%_%time%\n";

std::string source_file(const std::string &relative) {
    return ra_test_read_file(std::string(RA_SOURCE_DIR) + "/" + relative);
}

// A game folder with the settings and the example track's files.
void make_game(const std::string &game) {
    std::string cmd =
        "mkdir -p '" + game + "' && cp -r '" RA_SOURCE_DIR "/examples/game/.' '" + game + "/'";
    ASSERT_EQ(system(cmd.c_str()), 0) << cmd;
    ASSERT_TRUE(ra_test_write_file(game + "/" RA_INI_FILE, test_ini));
}

// The destination of the plug-in's success line "replay autosave: %s (type=%s)".
std::string saved_path(const std::vector<std::string> &log, const std::string &code) {
    const std::string head = "replay autosave: ";
    const std::string tail = " (type=" + code + ")";
    for (const std::string &line : log) {
        if (line.compare(0, head.size(), head) == 0 && line.size() > head.size() + tail.size() &&
            line.compare(line.size() - tail.size(), tail.size(), tail) == 0) {
            return line.substr(head.size(), line.size() - head.size() - tail.size());
        }
    }
    return "";
}

}  // namespace

TEST(CheckToolAgainstSimulator, SameFileNameForEveryRaceTypeCode) {
    ra_test_reset_plugin();
    std::string scratch = ra_test_scratch_dir();
    sim_race_file race;
    std::string error;
    ASSERT_TRUE(sim_parse_race_file(source_file("examples/race.ini"), "race.ini", &race, &error))
        << error;
    // Career races get their circuit from the game's career accessor.
    race.has_circuit = true;
    race.circuit_id = 12;

    // The tool, run in a game folder as a player would: digests and the
    // index probe look there.
    std::string tool_game = scratch + "/tool";
    make_game(tool_game);
    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(chdir(tool_game.c_str()), 0);
    ra_check_report report;
    ra_check_run(tool_game + "/" RA_INI_FILE, test_ini, &race, &report);
    ASSERT_EQ(chdir(previous), 0);
    ASSERT_EQ(report.names.size(), (size_t)ra_check_code_count);

    // The game, once per code, in a fresh folder of its own.
    for (uint32_t i = 0; i < ra_check_code_count; ++i) {
        const ra_check_code &code = ra_check_codes[i];
        SCOPED_TRACE(code.code);
        ra_test_reset_plugin();
        sim_options options;
        options.game_dir = scratch + "/game" + std::to_string(i);
        make_game(options.game_dir);
        options.race = race;
        options.race.race.race_type = code.race_type;
        options.race.race.race_variant = code.variant;
        options.race.race.m_flag = code.m_flag;
        options.race.circuit_type = code.circ_type;
        options.fixed_clock = true;
        options.clock = ra_check_clock;
        sim_plugin plugin;
        sim_plugin_linked(&plugin);
        sim_outcome outcome;
        ASSERT_TRUE(sim_run(options, &plugin, false, &outcome, &error)) << error;
        ASSERT_EQ(outcome.apply_result, 1);

        std::string logged = saved_path(outcome.log, code.code);
        ASSERT_FALSE(logged.empty()) << "no saved replay of " << code.code;
        EXPECT_EQ(report.names[i].path, logged);
        // And the file is there under that name.
        char host[4096];
        ASSERT_EQ(chdir(options.game_dir.c_str()), 0);
        sim_host_path(logged.c_str(), host, sizeof host);
        bool exists = ra_test_file_exists(host);
        ASSERT_EQ(chdir(previous), 0);
        EXPECT_TRUE(exists) << host;
    }
    // What the templates made of the race, spot-checked: filtered names, the
    // digest of Trn.frd, ".rp4" not doubled, the index from 5, the unknown
    // token written back.
    EXPECT_EQ(report.names[0].path,
              "SaveData/Replays\\Auto\\ALPINE_2026-03-07_21-05-09_3L_NORMAL_Rival_One.rp4");
    EXPECT_EQ(report.names[4].path,
              "SaveData/Replays\\Auto\\af0d7dbf0a0e346a3c062d8571c1e0db_5.rp4");
    EXPECT_EQ(report.names[7].path, "SaveData/Replays\\Auto\\Player_vs_Racer_3_21-05-09.rp4");
    EXPECT_EQ(report.names[8].path, "SaveData/Replays\\Auto\\2026-03-07_21-05-09_MT_%Track%.rp4");
    EXPECT_EQ(report.names[14].path, "SaveData/Replays\\Auto\\12_CT_21-05-09_5.rp4");
    ra_test_reset_plugin();
}
