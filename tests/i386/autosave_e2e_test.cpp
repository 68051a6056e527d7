// Whole replay saves through the simulated game: the host loads the plug-in,
// VQ_Apply patches the game, the game saves its replay and the plug-in copies
// it. Every test runs against the plug-in linked in and against the shipped
// replay_autosave.vqp, with the same expected log lines and files; every run
// also checks that each save call handed the game its stock result.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "autosave/autosave.h"
#include "e2e_fixture.h"
#include "sim_win32.h"

namespace {

typedef std::vector<std::string> lines;

const char builtin_tpl[] = "%date%_%time%_%type%_%track%_%laps%L";
const char source[] = "Replays\\replay.rp4";

std::string saved_line(const std::string &dst, const std::string &type) {
    return "replay autosave: " + dst + " (type=" + type + ")";
}

// The copy as scrubbing leaves it: block 56..63 and the address at offset
// 100 cleared; the game's letters hold no other dotted quad.
std::string scrubbed(std::string bytes, const std::string &ip) {
    std::fill(bytes.begin() + 56, bytes.begin() + 64, '\0');
    std::fill(bytes.begin() + SIM_REPLAY_IP_OFFSET,
              bytes.begin() + SIM_REPLAY_IP_OFFSET + (long)ip.size(), '\0');
    return bytes;
}

// The last log line of a run, or "" when it logged nothing.
std::string last_line(const e2e_run &run) { return run.log.empty() ? "" : run.log.back(); }

lines created_dirs() {
    lines out;
    for (uint32_t i = 0; i < sim_created_dir_count(); ++i) out.push_back(sim_created_dir(i));
    return out;
}

class AutosaveE2e : public e2e_test {};

// --- The template cascade -------------------------------------------------
// Every one of the 22 keys holds "from_<key>". Each step removes the key that
// won, so the next run must fall to the next key of the race's cascade; keys
// outside the cascade stay set all along and must never win. With the whole
// cascade removed the built-in template names the file.

const char *const all_keys[] = {"Name",    "c_name",  "s_name",  "m_name",  "n_name",  "ct_name",
                                "ck_name", "ch_name", "sr_name", "st_name", "sk_name", "hc_name",
                                "hg_name", "ht_name", "ms_name", "mt_name", "mk_name", "mc_name",
                                "mx_name", "mp_name", "hp_name", "mh_name"};

struct cascade_case {
    const char *race;                // race-file text setting the game's words
    const char *code;                // the race type code in the success line
    std::vector<std::string> order;  // keys tried, in order
};

// The code as a file name holds it: "?" may not stand in a Windows name.
std::string safe_code(const char *code) {
    std::string safe = code;
    std::replace(safe.begin(), safe.end(), '?', '_');
    return safe;
}

void walk_cascade(e2e_plugin plugin, const cascade_case &c) {
    SCOPED_TRACE(std::string("type code ") + c.code);
    e2e_game game(plugin);
    sim_race_file race = e2e_race(c.race);
    std::vector<std::string> left(std::begin(all_keys), std::end(all_keys));
    for (size_t step = 0; step <= c.order.size(); ++step) {
        std::string ini = "ClearIp = 0\n";
        for (const std::string &key : left) ini += key + " = from_" + key + "\n";
        game.write_ini(ini);
        bool has_name = std::find(left.begin(), left.end(), "Name") != left.end();
        std::string name = step < c.order.size()
                               ? "from_" + c.order[step]
                               : "2026-03-07_21-05-09_" + safe_code(c.code) + "_ALPINE_3L";
        e2e_run run = game.run(race);
        EXPECT_EQ(run.log, (lines{e2e_settings_line(has_name ? "from_Name" : builtin_tpl, 0),
                                  saved_line("SaveData\\Saves\\" + name + ".rp4", c.code)}))
            << "step " << step;
        EXPECT_TRUE(e2e_same_bytes(sim_replay_bytes(race, 0), run.saved[name + ".rp4"]))
            << "step " << step;
        if (step < c.order.size()) left.erase(std::find(left.begin(), left.end(), c.order[step]));
    }
}

TEST_P(AutosaveE2e, SingleRacesTryTheirTypeKeyThenSNameThenName) {
    const cascade_case cases[] = {
        {"[game]\nrace_type = 0\n", "SR", {"sr_name", "s_name", "Name"}},
        {"[game]\nrace_type = 1\n", "ST", {"st_name", "s_name", "Name"}},
        {"[game]\nrace_type = 2\n", "SK", {"sk_name", "s_name", "Name"}},
        {"[game]\nrace_type = 3\nrace_variant = 0\n", "HC", {"hc_name", "s_name", "Name"}},
        {"[game]\nrace_type = 3\nrace_variant = 1\n", "HG", {"hg_name", "s_name", "Name"}},
        {"[game]\nrace_type = 3\nrace_variant = 2\n", "HT", {"ht_name", "s_name", "Name"}},
        {"[game]\nrace_type = 3\nrace_variant = 3\n", "HP", {"hp_name", "s_name", "Name"}},
    };
    for (const cascade_case &c : cases) walk_cascade(GetParam(), c);
}

TEST_P(AutosaveE2e, MultiRacesTryMNameThenNNameBeforeName) {
    const cascade_case cases[] = {
        {"[game]\nrace_type = 0\nm_flag = 1\n", "MS", {"ms_name", "m_name", "n_name", "Name"}},
        {"[game]\nrace_type = 1\nm_flag = 1\n", "MT", {"mt_name", "m_name", "n_name", "Name"}},
        {"[game]\nrace_type = 2\nm_flag = 7\n", "MK", {"mk_name", "m_name", "n_name", "Name"}},
        {"[game]\nrace_type = 3\nm_flag = 1\nrace_variant = 4\n",
         "MC",
         {"mc_name", "m_name", "n_name", "Name"}},
        {"[game]\nrace_type = 3\nm_flag = 1\nrace_variant = 8\n",
         "MX",
         {"mx_name", "m_name", "n_name", "Name"}},
        {"[game]\nrace_type = 3\nm_flag = 1\nrace_variant = 9\n",
         "MP",
         {"mp_name", "m_name", "n_name", "Name"}},
        {"[game]\nrace_type = 3\nm_flag = 1\nrace_variant = 10\n",
         "MH",
         {"mh_name", "m_name", "n_name", "Name"}},
    };
    for (const cascade_case &c : cases) walk_cascade(GetParam(), c);
}

TEST_P(AutosaveE2e, CareerRacesTryCircuitKeyThenCNameAndNeverNName) {
    // The M flag is set throughout: career races still never reach "n_name".
    const cascade_case cases[] = {
        {"[game]\nrace_type = 4\nm_flag = 1\n[circuit]\ntype = 0\n",
         "CT",
         {"ct_name", "c_name", "Name"}},
        {"[game]\nrace_type = 4\nm_flag = 1\n[circuit]\ntype = 1\n",
         "CK",
         {"ck_name", "c_name", "Name"}},
        {"[game]\nrace_type = 4\nm_flag = 1\n[circuit]\ntype = 2\n",
         "CH",
         {"ch_name", "c_name", "Name"}},
        // No circuit read yet: code "C", whose type key is the group key.
        {"[game]\nrace_type = 4\nm_flag = 1\n", "C", {"c_name", "Name"}},
    };
    for (const cascade_case &c : cases) walk_cascade(GetParam(), c);
}

TEST_P(AutosaveE2e, UnknownRaceTypeIsDecidedByTheGroupKey) {
    const cascade_case cases[] = {
        {"[game]\nrace_type = 7\n", "??", {"s_name", "Name"}},
        {"[game]\nrace_type = 5\nm_flag = 1\n", "??", {"m_name", "n_name", "Name"}},
    };
    for (const cascade_case &c : cases) walk_cascade(GetParam(), c);
}

// --- Replay playback and Enabled ------------------------------------------

TEST_P(AutosaveE2e, ReplayPlaybackIsSkippedWithAMessage) {
    e2e_game game(GetParam());
    game.write_ini("Name = %date%_%index%\nRecord = 0\n");
    const lines skipped = {e2e_settings_line("%date%_%index%", 1),
                           "replay autosave: skip (replay playback)"};
    // Playback state 2 alone, then the playback flag alone: both skip.
    e2e_run run = game.run(e2e_race("[game]\nplayback_state = 2\n"));
    EXPECT_EQ(run.log, skipped);
    EXPECT_TRUE(run.saved.empty());
    run = game.run(e2e_race("[game]\nplayback_flag = 1\n"));
    EXPECT_EQ(run.log, skipped);
    EXPECT_TRUE(run.saved.empty());
    // Any other playback state saves.
    run = game.run(e2e_race("[game]\nplayback_state = 1\n"));
    EXPECT_EQ(run.log, (lines{e2e_settings_line("%date%_%index%", 1),
                              saved_line("SaveData\\Saves\\2026-03-07_1.rp4", "SR")}));
    EXPECT_EQ(run.saved.size(), 1u);
}

TEST_P(AutosaveE2e, DisabledPluginSavesAndLogsNothingAfterItsSettings) {
    e2e_game game(GetParam());
    game.write_ini("Enabled = 0\n");
    const lines settings_only = {"replay autosave: enabled=0 dir=SaveData\\Saves name=" +
                                 std::string(builtin_tpl) + " clear_ip=1"};
    // Neither an ordinary save nor a playback save says anything.
    e2e_run run = game.run(e2e_race(), 2);
    EXPECT_EQ(run.log, settings_only);
    EXPECT_FALSE(game.exists("SaveData"));
    run = game.run(e2e_race("[game]\nplayback_state = 2\nplayback_flag = 1\n"));
    EXPECT_EQ(run.log, settings_only);
    EXPECT_EQ(sim_call_count("GetFileAttributesA"), 0u);
}

// --- Track digests --------------------------------------------------------

TEST_P(AutosaveE2e, TrnDigestTokenAloneRefreshesTheDigests) {
    e2e_game game(GetParam());
    // RFC 1321 test values: the empty message, and the quick brown fox.
    game.write("Tracks/Alpine/Tr.frd", "");
    game.write("Tracks/Alpine/Trn.frd", "The quick brown fox jumps over the lazy dog");
    game.write_ini("Name = trn_%track_trn_md5%\nClearIp = 0\nRecord = 0\n");
    e2e_run run = game.run(e2e_race(), 2);
    const std::string dst = "SaveData\\Saves\\trn_9e107d9d372bb6826bd81d3542a419d6.rp4";
    EXPECT_EQ(run.log, (lines{e2e_settings_line("trn_%track_trn_md5%", 0), saved_line(dst, "SR"),
                              saved_line(dst, "SR")}));
    // Both files were hashed once: the second save on the same track reads
    // nothing.
    EXPECT_EQ(sim_call_count("CreateFileA"), 2u);

    game.write_ini("Name = tr_%track_tr_md5%\nClearIp = 0\nRecord = 0\n");
    run = game.run(e2e_race());
    EXPECT_EQ(last_line(run),
              saved_line("SaveData\\Saves\\tr_d41d8cd98f00b204e9800998ecf8427e.rp4", "SR"));

    // Without a digest token no track file is opened.
    game.write_ini("Name = plain\nClearIp = 0\nRecord = 0\n");
    run = game.run(e2e_race());
    EXPECT_EQ(last_line(run), saved_line("SaveData\\Saves\\plain.rp4", "SR"));
    EXPECT_EQ(sim_call_count("CreateFileA"), 0u);
}

// --- Index probing and replacement ----------------------------------------

TEST_P(AutosaveE2e, IndexProbingTakesTheFirstFreeNameAndCreatesDir) {
    e2e_game game(GetParam());
    game.write_ini("Name = %date%_%index%\nClearIp = 0\nIndexStart = 1\nRecord = 0\n");
    sim_race_file race = e2e_race();

    // The very first save: no Dir yet, so index 1 is free and Dir is made.
    e2e_run run = game.run(race);
    EXPECT_EQ(last_line(run), saved_line("SaveData\\Saves\\2026-03-07_1.rp4", "SR"));
    EXPECT_EQ(created_dirs(), (lines{"SaveData", "SaveData\\Saves"}));
    const std::string first = run.saved["2026-03-07_1.rp4"];
    EXPECT_TRUE(e2e_same_bytes(sim_replay_bytes(race, 0), first));

    // Indexes 1 and 2 taken (2 by some other file): the replay goes to 3.
    game.write("SaveData/Saves/2026-03-07_2.rp4", "someone else's replay");
    const sim_race_file shorter = e2e_race("[game]\nreplay_size = 7000\n");
    run = game.run(shorter);
    EXPECT_EQ(last_line(run), saved_line("SaveData\\Saves\\2026-03-07_3.rp4", "SR"));
    EXPECT_TRUE(e2e_same_files({{"2026-03-07_1.rp4", first},
                                {"2026-03-07_2.rp4", "someone else's replay"},
                                {"2026-03-07_3.rp4", sim_replay_bytes(shorter, 0)}},
                               run.saved));
}

TEST_P(AutosaveE2e, CandidateWhoseExistenceCannotBeToldEndsTheProbing) {
    e2e_game game(GetParam());
    game.write_ini("Name = %date%_%index%\nClearIp = 0\nRecord = 0\n");
    e2e_run run = game.run(e2e_race());
    const e2e_files earlier = run.saved;
    ASSERT_EQ(earlier.size(), 1u);

    // The source's test passes; from the candidate named on, every test
    // fails for a reason other than "not found". Only "not found" makes a
    // name free, and such a failure may hide an earlier replay: nothing is
    // copied, and the probing stops there instead of trying 10000 names.
    struct probe_case {
        uint32_t error;
        uint32_t passing;   // tests that pass first: the source, taken candidates
        const char *index;  // the candidate that cannot be told
    };
    const probe_case cases[] = {
        {ERROR_ACCESS_DENIED, 1, "1"},
        {ERROR_NOT_READY, 1, "1"},      // a drive with no medium
        {ERROR_BAD_NETPATH, 1, "1"},    // a network folder gone
        {ERROR_ACCESS_DENIED, 2, "2"},  // 1 is seen taken, 2 cannot be told
    };
    for (const probe_case &c : cases) {
        SCOPED_TRACE("error " + std::to_string(c.error) + ", candidate " + c.index);
        game.fail_call("GetFileAttributesA", c.error, RA_INDEX_PROBES, c.passing);
        run = game.run(e2e_race("[game]\nreplay_size = 9000\n"));
        EXPECT_EQ(run.log,
                  (lines{e2e_settings_line("%date%_%index%", 0),
                         "replay autosave: cannot tell whether SaveData\\Saves\\2026-03-07_" +
                             std::string(c.index) + ".rp4 exists (" + std::to_string(c.error) +
                             "), nothing copied"}));
        // The source, the candidates seen taken, then the one failing test.
        EXPECT_EQ(sim_call_count("GetFileAttributesA"), c.passing + 1u);
        EXPECT_EQ(sim_call_count("CreateDirectoryA"), 0u);
        EXPECT_EQ(sim_call_count("CopyFileA"), 0u);
        EXPECT_TRUE(e2e_same_files(earlier, run.saved));
    }
}

TEST_P(AutosaveE2e, IndexTokenInCapitalsDoesNotProbe) {
    e2e_game game(GetParam());
    game.write_ini("Name = %date%_%INDEX%\nClearIp = 0\nRecord = 0\n");
    // "%INDEX%" is no token: it stays in the name, and the one file it names
    // is replaced by every save.
    game.write("SaveData/Saves/2026-03-07_%INDEX%.rp4", "old");
    sim_race_file race = e2e_race();
    e2e_run run = game.run(race, 2);
    const std::string line = saved_line("SaveData\\Saves\\2026-03-07_%INDEX%.rp4", "SR");
    EXPECT_EQ(run.log, (lines{e2e_settings_line("%date%_%INDEX%", 0), line, line}));
    EXPECT_TRUE(e2e_same_files({{"2026-03-07_%INDEX%.rp4", sim_replay_bytes(race, 1)}}, run.saved));
}

TEST_P(AutosaveE2e, TemplateWithoutIndexReplacesTheFileItNames) {
    e2e_game game(GetParam());
    game.write_ini("Name = %date%_%track%\nClearIp = 0\nRecord = 0\n");
    game.write("SaveData/Saves/2026-03-07_ALPINE.rp4", "an older replay of this track");
    sim_race_file race = e2e_race();
    e2e_run run = game.run(race);
    EXPECT_EQ(last_line(run), saved_line("SaveData\\Saves\\2026-03-07_ALPINE.rp4", "SR"));
    EXPECT_TRUE(e2e_same_files({{"2026-03-07_ALPINE.rp4", sim_replay_bytes(race, 0)}}, run.saved));
}

TEST_P(AutosaveE2e, AllTenThousandCandidatesTakenReplacesNothing) {
    e2e_game game(GetParam());
    game.write_ini("Name = %date%_%index%\nIndexStart = 1\n");
    // Plain POSIX calls: the stand-ins must not see these files being made.
    const std::string saves = game.path("SaveData/Saves/");
    game.write("SaveData/Saves/2026-03-07_1.rp4", "1");
    for (int i = 2; i <= 10000; ++i) {
        std::string name = "2026-03-07_" + std::to_string(i) + ".rp4";
        int fd = open((saves + name).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        ASSERT_GE(fd, 0) << name;
        std::string content = std::to_string(i);
        ASSERT_EQ(write(fd, content.data(), content.size()), (ssize_t)content.size());
        close(fd);
    }
    const e2e_files before = game.files("SaveData/Saves");
    ASSERT_EQ(before.size(), 10000u);

    e2e_run run = game.run(e2e_race());
    EXPECT_EQ(run.log, (lines{e2e_settings_line("%date%_%index%", 1),
                              "replay autosave: no free name for "
                              "SaveData\\Saves\\2026-03-07_10000.rp4 (10000 tried)"}));
    EXPECT_EQ(sim_call_count("GetFileAttributesA"),
              1u + 10000u);  // the source, then each candidate
    EXPECT_EQ(sim_call_count("CopyFileA"), 0u);
    EXPECT_TRUE(e2e_same_files(before, run.saved));
}

// --- Nothing to copy, or nowhere to copy it -------------------------------

TEST_P(AutosaveE2e, MissingSourceOrEmptyNameIsLoggedAndNothingCopied) {
    e2e_game game(GetParam());
    // The game wrote no replay.
    game.write_ini("Name = %date%_%index%\n");
    e2e_run run = game.run(e2e_race("[game]\nwrite_replay = 0\n"));
    EXPECT_EQ(run.log,
              (lines{e2e_settings_line("%date%_%index%", 1),
                     "replay autosave: " + std::string(source) + " missing, nothing to copy"}));
    EXPECT_FALSE(game.exists("SaveData"));

    // A template whose only token has nothing to say (no ninth racer).
    game.write_ini("Name = %name9%\n");
    run = game.run(e2e_race());
    EXPECT_EQ(run.log, (lines{e2e_settings_line("%name9%", 1),
                              "replay autosave: template produced an empty name"}));
    EXPECT_FALSE(game.exists("SaveData"));
}

TEST_P(AutosaveE2e, ReplayFolderOf249CharactersIsCopiedButNotOf250) {
    e2e_game game(GetParam());
    game.write_ini("Name = x\nClearIp = 0\nRecord = 0\n");
    // The folder text and "replay.rp4" must fit in 259 characters.
    const std::string folder_249 = "Replays\\" + std::string(240, 'r') + "\\";
    ASSERT_EQ(folder_249.size(), 249u);
    const sim_race_file race = e2e_race("[game]\nreplay_dir = " + folder_249 + "\n");
    e2e_run run = game.run(race);
    EXPECT_EQ(run.log,
              (lines{e2e_settings_line("x", 0), saved_line("SaveData\\Saves\\x.rp4", "SR")}));
    const e2e_files earlier = run.saved;
    EXPECT_TRUE(e2e_same_files({{"x.rp4", sim_replay_bytes(race, 0)}}, earlier));

    // One more: the game's replay is there, but the plug-in neither looks
    // for it nor says anything.
    const std::string folder_250 = "Replays\\" + std::string(241, 'r') + "\\";
    run = game.run(e2e_race("[game]\nreplay_dir = " + folder_250 + "\nreplay_size = 9000\n"));
    EXPECT_EQ(run.log, (lines{e2e_settings_line("x", 0)}));
    EXPECT_TRUE(game.exists("Replays/" + std::string(241, 'r') + "/replay.rp4"));
    EXPECT_EQ(sim_call_count("GetFileAttributesA"), 0u);
    EXPECT_EQ(sim_call_count("CopyFileA"), 0u);
    EXPECT_TRUE(e2e_same_files(earlier, run.saved));
}

TEST_P(AutosaveE2e, PathTooLongCopiesNothingSilently) {
    e2e_game game(GetParam());
    // 95 characters of Dir, a name of 190 (or 181) characters: beyond 259.
    const std::string dir(95, 'd');
    std::string dates;
    for (int i = 0; i < 8; ++i) dates += "%date%";
    const std::string plain = std::string(100, 'x') + dates + "%date%";
    const std::string indexed = std::string(100, 'x') + dates + "%index%";
    for (const std::string &tpl : {plain, indexed}) {
        game.write_ini("Dir = " + dir + "\nName = " + tpl + "\n");
        e2e_run run = game.run(e2e_race());
        EXPECT_EQ(run.log, (lines{e2e_settings_line(tpl, 1, dir)})) << tpl;
        EXPECT_EQ(sim_call_count("CreateDirectoryA"), 0u);
        EXPECT_EQ(sim_call_count("CopyFileA"), 0u);
        EXPECT_FALSE(game.exists(dir));
    }
}

TEST_P(AutosaveE2e, SourceAsDestinationInOtherCaseIsNeverCopied) {
    e2e_game game(GetParam());
    game.write_ini("Dir = REPLAYS\nName = replay\n");
    sim_race_file race = e2e_race("[game]\nreplay_dir = replays\\\n");
    e2e_run run = game.run(race);
    EXPECT_EQ(run.log, (lines{e2e_settings_line("replay", 1, "REPLAYS")}));
    EXPECT_EQ(sim_call_count("CopyFileA"), 0u);
    EXPECT_EQ(sim_call_count("CreateFileA"), 0u);  // not scrubbed either
    game.save_folder = "replays";
    EXPECT_TRUE(e2e_same_files({{"replay.rp4", sim_replay_bytes(race, 0)}}, game.files("replays")));
}

// --- Directories ----------------------------------------------------------

TEST_P(AutosaveE2e, EveryLevelOfDirIsRequestedOnEverySave) {
    e2e_game game(GetParam());
    game.write_ini("Dir = Saves/Season 1\\Week 2\nName = r_%index%\nClearIp = 0\nRecord = 0\n");
    game.save_folder = "Saves/Season 1/Week 2";
    sim_race_file race = e2e_race();
    e2e_run run = game.run(race, 2);
    // Cut at each "/" or "\" as written, then the whole, for each save.
    const lines levels = {"Saves", "Saves/Season 1", "Saves/Season 1\\Week 2"};
    lines both = levels;
    both.insert(both.end(), levels.begin(), levels.end());
    EXPECT_EQ(created_dirs(), both);
    EXPECT_EQ(run.log, (lines{e2e_settings_line("r_%index%", 0, "Saves/Season 1\\Week 2"),
                              saved_line("Saves/Season 1\\Week 2\\r_1.rp4", "SR"),
                              saved_line("Saves/Season 1\\Week 2\\r_2.rp4", "SR")}));
    EXPECT_TRUE(e2e_same_files(
        {{"r_1.rp4", sim_replay_bytes(race, 0)}, {"r_2.rp4", sim_replay_bytes(race, 1)}},
        run.saved));
}

// --- Copy failure ---------------------------------------------------------

TEST_P(AutosaveE2e, FailedCopyIsLoggedAndTheNextSaveGoesOn) {
    e2e_game game(GetParam());
    game.write_ini("Name = %date%_%index%\nClearIp = 0\nRecord = 0\n");
    sim_race_file race = e2e_race();
    e2e_run run = game.run(race);
    const e2e_files earlier = run.saved;
    ASSERT_EQ(earlier.size(), 1u);

    // The first save of the next game is refused (access denied); its second
    // save takes the same free name.
    game.fail_call("CopyFileA", 5, 1);
    run = game.run(race, 2);
    EXPECT_EQ(run.log, (lines{e2e_settings_line("%date%_%index%", 0),
                              "replay autosave: copy failed (5): Replays\\replay.rp4 -> "
                              "SaveData\\Saves\\2026-03-07_2.rp4",
                              saved_line("SaveData\\Saves\\2026-03-07_2.rp4", "SR")}));
    e2e_files expected = earlier;
    expected["2026-03-07_2.rp4"] = sim_replay_bytes(race, 1);
    EXPECT_TRUE(e2e_same_files(expected, run.saved));
    EXPECT_TRUE(e2e_same_bytes(sim_replay_bytes(race, 1), game.read("Replays/replay.rp4")));
}

// --- Scrubbing ------------------------------------------------------------

TEST_P(AutosaveE2e, ClearIpScrubsTheCopyOnlyAndOnlyWhenOn) {
    e2e_game game(GetParam());
    sim_race_file race = e2e_race("[game]\nreplay_ip = 192.168.0.17\n");
    const std::string replay = sim_replay_bytes(race, 0);
    ASSERT_EQ(replay.substr(SIM_REPLAY_IP_OFFSET, 12), "192.168.0.17");

    game.write_ini("Name = on\nClearIp = 1\nRecord = 0\n");
    e2e_run run = game.run(race);
    EXPECT_EQ(last_line(run), saved_line("SaveData\\Saves\\on.rp4", "SR"));
    EXPECT_TRUE(e2e_same_bytes(scrubbed(replay, "192.168.0.17"), run.saved["on.rp4"]));
    // The game's own file keeps its address.
    EXPECT_TRUE(e2e_same_bytes(replay, game.read("Replays/replay.rp4")));

    game.write_ini("Name = off\nClearIp = 0\nRecord = 0\n");
    run = game.run(race);
    EXPECT_EQ(last_line(run), saved_line("SaveData\\Saves\\off.rp4", "SR"));
    EXPECT_TRUE(e2e_same_bytes(replay, run.saved["off.rp4"]));
    EXPECT_EQ(sim_call_count("CreateFileA"), 0u);
}

// --- The second save site ---------------------------------------------------

TEST_P(AutosaveE2e, PauseSiteSavesLikeTheFinishSite) {
    e2e_game game(GetParam());
    const sim_race_file finish = e2e_race("[game]\nreplay_ip = 10.0.0.1\n");
    const sim_race_file pause = e2e_race("[game]\nreplay_ip = 10.0.0.1\nsave_site = pause\n");
    ASSERT_TRUE(pause.pause_site);

    game.write_ini("Dir = Finish\nName = %type%_%index%\n");
    game.save_folder = "Finish";
    e2e_run by_finish = game.run(finish, 2);
    game.write_ini("Dir = Pause\nName = %type%_%index%\n");
    game.save_folder = "Pause";
    e2e_run by_pause = game.run(pause, 2);

    EXPECT_EQ(by_pause.log,
              (lines{e2e_settings_line("%type%_%index%", 1, "Pause"),
                     saved_line("Pause\\SR_1.rp4", "SR"), saved_line("Pause\\SR_2.rp4", "SR")}));
    EXPECT_TRUE(e2e_same_files(by_finish.saved, by_pause.saved));
    EXPECT_TRUE(e2e_same_bytes(scrubbed(sim_replay_bytes(pause, 1), "10.0.0.1"),
                               by_pause.saved["SR_2.rp4"]));
}

}  // namespace

E2E_INSTANTIATE(AutosaveE2e);
