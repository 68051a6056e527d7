// The check tool's core: what it prints about a replay_autosave.ini, which
// mistakes it warns about (and that it stays silent on a good file), and
// that the example INI and the players' guide document every key and token
// with examples the plug-in really produces.
#include <ctype.h>
#include <gtest/gtest.h>
#include <string.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "check/check.h"
#include "plugin_state.h"
#include "settings/settings.h"
#include "sim_win32.h"

namespace {

std::string source_file(const std::string &relative) {
    return ra_test_read_file(std::string(RA_SOURCE_DIR) + "/" + relative);
}

class CheckTool : public ::testing::Test {
protected:
    void SetUp() override {
        ra_test_reset_plugin();
        dir_ = ra_test_scratch_dir();
    }
    void TearDown() override { ra_test_reset_plugin(); }

    // Checks the INI text as a file in the scratch folder; one check per
    // plug-in state, as in the program.
    ra_check_report check(const std::string &text, const sim_race_file *race = nullptr) {
        ra_test_reset_plugin();
        std::string path = dir_ + "/" RA_INI_FILE;
        EXPECT_TRUE(ra_test_write_file(path, text));
        ra_check_report report;
        ra_check_run(path, text, race, &report);
        return report;
    }
    ra_check_report check_section(const std::string &body) {
        return check("[ReplayAutosave]\n" + body);
    }

    std::string dir_;
};

// Warnings that begin with this key (or section, or line).
std::vector<std::string> about(const ra_check_report &r, const std::string &key) {
    std::vector<std::string> found;
    for (const std::string &w : r.warnings) {
        if (w.compare(0, key.size(), key) == 0) found.push_back(w);
    }
    return found;
}

std::string all_warnings(const ra_check_report &r) {
    std::string text;
    for (const std::string &w : r.warnings) text += w + "\n";
    return text;
}

const ra_check_name &name_of(const ra_check_report &r, const char *code) {
    for (const ra_check_name &n : r.names) {
        if (strcmp(n.code->code, code) == 0) return n;
    }
    ADD_FAILURE() << "no row for " << code;
    return r.names.front();
}

// "key = value" lines that the example INI offers in its comments, as
// "; key = value" or "; Example: key = value", keyed by the key.
std::map<std::string, std::string> commented_examples(const std::string &ini) {
    std::map<std::string, std::string> out;
    std::istringstream lines(ini);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.compare(0, 2, "; ") != 0) continue;
        std::string rest = line.substr(2);
        if (rest.compare(0, 9, "Example: ") == 0) rest = rest.substr(9);
        size_t eq = rest.find(" = ");
        if (eq == std::string::npos || rest.find(' ') < eq) continue;
        out.emplace(rest.substr(0, eq), rest.substr(eq + 3));
    }
    return out;
}

// Token and example of every row of a token table: the INI's comment table
// ";   %token%  what  example" (or "... %name2% -> Rival_One" on a line of its
// own) or the guide's "| `%token%` | what | `example` |". An example of a
// numbered token names the token it expands: "%name1% -> Player" in the INI,
// "`%name1%` -> `Player`" (any number of pairs) in the guide.
std::vector<std::pair<std::string, std::string>> token_examples(const std::string &doc,
                                                                bool markdown) {
    std::vector<std::pair<std::string, std::string>> rows;
    std::istringstream lines(doc);
    std::string line;
    while (std::getline(lines, line)) {
        if (markdown) {
            if (line.compare(0, 4, "| `%") != 0) continue;
            std::string last = line.substr(line.rfind('|', line.size() - 2) + 1);
            std::vector<std::string> quoted;
            for (size_t a = last.find('`'); a != std::string::npos; a = last.find('`', a)) {
                size_t b = last.find('`', a + 1);
                quoted.push_back(last.substr(a + 1, b - a - 1));
                a = b + 1;
            }
            if (quoted.size() == 1) {
                rows.emplace_back(line.substr(3, line.find('`', 3) - 3), quoted[0]);
            }
            for (size_t i = 0; quoted.size() > 1 && i + 1 < quoted.size(); i += 2) {
                rows.emplace_back(quoted[i], quoted[i + 1]);
            }
            continue;
        }
        if (line.compare(0, 4, ";   ") != 0) continue;
        std::string example = line.substr(line.rfind("  ") + 2);
        size_t arrow = example.find(" -> ");
        if (arrow != std::string::npos) {
            rows.emplace_back(example.substr(0, arrow), example.substr(arrow + 4));
        } else if (line.compare(0, 5, ";   %") == 0) {
            rows.emplace_back(line.substr(4, line.find('%', 5) - 3), example);
        }
    }
    return rows;
}

// The fixed tokens and the numbered ones, which a token table must cover.
const char *const every_token[] = {
    "%date%",
    "%time%",
    "%start_date%",
    "%start_time%",
    "%type%",
    "%track%",
    "%laps%",
    "%cars%",
    "%count%",
    "%cops%",
    "%traffic%",
    "%start_pos%",
    "%tier%",
    "%circ%",
    "%seed%",
    "%weather%",
    "%night%",
    "%direction%",
    "%dir%",
    "%mirror%",
    "%nameN%",
    "%best_lap_carN%",
    "%total_time_carN%",
    "%max_speed_carN%",
    "%index%",
    "%track_tr_md5%",
    "%track_trn_md5%",
};

}  // namespace

// --- The settings printout: values as the plug-in holds them, with the cuts
// and repairs its loader made, and where each came from.

TEST_F(CheckTool, SettingsShowCutsAndFixUps) {
    std::string long_dir = "D:\\" + std::string(117, 'd');            // 120 characters
    std::string long_tpl = "%date%_%time%_" + std::string(186, 'n');  // 200 characters
    ra_check_report r = check_section("Dir = " + long_dir + "\nsr_name = " + long_tpl +
                                      "\nIndexStart = -3\nClearIp = 0\n");
    ASSERT_EQ(r.settings.size(), 5u);
    EXPECT_EQ(r.settings[0], "  Enabled    1  (not set: the default)");
    EXPECT_EQ(r.settings[1], "  Dir        " + long_dir.substr(0, 95) +
                                 "  (cut to 95 characters; the file has 120)");
    EXPECT_EQ(r.settings[2], "  IndexStart 0  (the file says -3; below 0 counts as 0)");
    EXPECT_EQ(r.settings[3], "  ClearIp    0  (copies stay as the game wrote them)");
    EXPECT_EQ(r.settings[4],
              "  Record     1  (not set: on by default, a line per saved replay in "
              "Dir\\replays.csv)");
    ASSERT_EQ(r.templates.size(), (size_t)RA_TPL_COUNT);
    EXPECT_EQ(r.templates[8], "  sr_name    " + long_tpl.substr(0, 159) +
                                  "  (cut to 159 characters; the file has 200)");
    EXPECT_EQ(r.templates[0], "  Name       -");

    // An empty Dir is repaired to the default; Enabled 0 is shown as off.
    r = check_section("Dir =\nEnabled = 0\n");
    EXPECT_EQ(r.settings[0], "  Enabled    0  (off: no replay is saved)");
    EXPECT_EQ(r.settings[1], "  Dir        SaveData\\Saves  (empty in the file: the default)");
}

TEST_F(CheckTool, NamesFollowTheCascadeAndTheSaveRules) {
    // Relative to the folder the tool runs in, as Dir is to the game's;
    // 60 characters, so that the longest names no longer fit in a path.
    std::string saves = "saved_replays/" + std::string(46, 'r');
    ASSERT_EQ(system(("mkdir -p '" + dir_ + "/" + saves + "'").c_str()), 0);
    // Candidates 3 and 4 exist already: the index probe goes on to 5.
    ASSERT_TRUE(ra_test_write_file(dir_ + "/" + saves + "/MH_ALPINE_3.rp4", ""));
    ASSERT_TRUE(ra_test_write_file(dir_ + "/" + saves + "/MH_ALPINE_4.rp4", ""));
    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(chdir(dir_.c_str()), 0);
    ra_check_report r = check_section("Dir = " + saves +
                                      "\nIndexStart = 3\n"
                                      "Name = %date%_%time%_%type%\n"
                                      "c_name = %type%_%circ%_%time%\n"
                                      "m_name = %name1%_vs_%name2%_%time%\n"
                                      "n_name = %index%_never\n"
                                      "sr_name = %track%_%best_lap_car1%s_%time%.rp4\n"
                                      "ck_name = %track_tr_md5%_%track_trn_md5%_%time%\n"
                                      "mh_name = MH_%track%_%index%\n"
                                      "hc_name = %name5%\n"
                                      "hg_name = %track_tr_md5%%track_trn_md5%%track_tr_md5%"
                                      "%track_trn_md5%%track_tr_md5%%track_trn_md5%%time%\n");
    ASSERT_EQ(chdir(previous), 0);
    ASSERT_EQ(r.names.size(), (size_t)ra_check_code_count);
    // Type key, its ".rp4" dropped and its '.' turned into '-'.
    EXPECT_EQ(name_of(r, "SR").key, "sr_name");
    EXPECT_EQ(name_of(r, "SR").path, saves + "\\ALPINE_81-44s_21-05-09.rp4");
    // No s_name: Name serves the others without the M flag.
    EXPECT_EQ(name_of(r, "ST").key, "Name");
    EXPECT_EQ(name_of(r, "ST").path, saves + "\\2026-03-07_21-05-09_ST.rp4");
    // The M codes take m_name, unsafe characters of racer names become '_'.
    EXPECT_EQ(name_of(r, "MS").key, "m_name");
    EXPECT_EQ(name_of(r, "MS").path, saves + "\\Player_vs_Rival_One_21-05-09.rp4");
    EXPECT_EQ(name_of(r, "MH").path, saves + "\\MH_ALPINE_5.rp4");
    // Career codes: the example race's circuit, and the example track's digests.
    EXPECT_EQ(name_of(r, "CT").key, "c_name");
    EXPECT_EQ(name_of(r, "CT").path, saves + "\\CT_7_21-05-09.rp4");
    EXPECT_EQ(name_of(r, "C").path, saves + "\\C_7_21-05-09.rp4");
    EXPECT_EQ(name_of(r, "CK").path, saves +
                                         "\\c81245ac40f414e699ab87189318e7b9_"
                                         "af0d7dbf0a0e346a3c062d8571c1e0db_21-05-09.rp4");
    // Unknown race type: s_name is not set, so Name; with the M flag m_name.
    EXPECT_EQ(name_of(r, "??").key, "Name");
    EXPECT_EQ(name_of(r, "??").key_m, "m_name");
    EXPECT_EQ(name_of(r, "??").path, saves + "\\2026-03-07_21-05-09___.rp4");
    EXPECT_EQ(name_of(r, "MT").key_m, "");
    // Nothing saved: an empty name, and a path over 259 characters.
    EXPECT_EQ(name_of(r, "HC").path, "");
    EXPECT_EQ(name_of(r, "HC").why_none, "the name comes out empty");
    EXPECT_EQ(name_of(r, "HG").path, "");
    EXPECT_EQ(name_of(r, "HG").why_none, "the path would be longer than 259 characters");
    // n_name is shadowed by m_name for every race it could serve.
    EXPECT_NE(r.templates[4].find("(never used"), std::string::npos) << r.templates[4];
    EXPECT_EQ(r.templates[3].find("(never used"), std::string::npos) << r.templates[3];
}

TEST_F(CheckTool, RaceFileRaceReplacesTheExample) {
    sim_race_file race;
    std::string error;
    ASSERT_TRUE(
        sim_parse_race_file("[game]\nlaps = 9\ntrack_index = 0\ncars = 2\n"
                            "[track_folders]\n0 = Dune\n[racers]\n1 = Ann\n",
                            "race.ini", &race, &error))
        << error;
    ra_check_report r =
        check("[ReplayAutosave]\nName = %track%_%laps%_%name1%_%start_time%\n", &race);
    EXPECT_FALSE(r.example_race);
    EXPECT_EQ(r.race, "track DUNE, 9 laps, 2 cars, saved 2026-03-07 21:05:09");
    // Without a race start the plug-in uses the save time for it.
    EXPECT_EQ(name_of(r, "SR").path, "SaveData\\Saves\\DUNE_9_Ann_21-05-09.rp4");
    EXPECT_TRUE(r.warnings.empty()) << all_warnings(r);
}

// --- Warnings: each kind fires on the mistake it is about, names the key,
// and stays silent on the correct neighbour.

TEST_F(CheckTool, UnknownTokensAreFoundAsTheExpanderFindsThem) {
    ra_check_report r = check_section(
        "sr_name = %Track%_%name17%_%lpas%_%time%_%name01%_100%\n"
        "st_name = %laps%cars%_%time%\n"
        "sk_name = %abcdefghijklmnopqrstuvwxyz%_%time%_%Track%\n");
    std::vector<std::string> sr = about(r, "sr_name: unknown token");
    ASSERT_EQ(sr.size(), 3u) << all_warnings(r);
    EXPECT_NE(sr[0].find("%Track%"), std::string::npos);
    EXPECT_NE(sr[0].find("did you mean %track%?"), std::string::npos);
    EXPECT_NE(sr[1].find("%name17%"), std::string::npos);
    EXPECT_NE(sr[1].find("from 1 to 16"), std::string::npos);
    EXPECT_NE(sr[2].find("%lpas%"), std::string::npos);
    // "%laps%cars%": the closing '%' is consumed, "cars" is text, and the
    // last '%' pairs with the first of %time%: "%_%" is the token, and
    // without its time the name no longer changes.
    std::vector<std::string> st = about(r, "st_name: unknown token");
    ASSERT_EQ(st.size(), 1u) << all_warnings(r);
    EXPECT_NE(st[0].find("%_%"), std::string::npos);
    EXPECT_EQ(about(r, "st_name: the name is the same for every race").size(), 1u);
    // Over 23 characters: only the first 23 count; a repeat is told once.
    std::vector<std::string> sk = about(r, "sk_name: unknown token");
    ASSERT_EQ(sk.size(), 2u) << all_warnings(r);
    EXPECT_NE(sk[0].find("first 23 characters"), std::string::npos);
    EXPECT_EQ(r.warnings.size(), 7u) << all_warnings(r);
}

TEST_F(CheckTool, KeysAndSectionsThePluginNeverReads) {
    ra_check_report r = check(
        "Enabled = 1\n"
        "[ReplayAutosave]\n"
        "sr_nme = %date%_%time%\n"
        "NAME = %date%_%time%\n"
        "name = %time%_%date%\n"
        "Dir is D:\\Replays\n"
        "Colour = red\n"
        "[Other]\n"
        "x = 1\n"
        "[replayautosave]\n"
        "ClearIp = 0\n");
    EXPECT_EQ(about(r,
                    "sr_nme (line 3): the plug-in does not read this key; did you mean "
                    "sr_name?")
                  .size(),
              1u)
        << all_warnings(r);
    EXPECT_EQ(about(r, "Colour (line 7): the plug-in does not read this key").size(), 1u);
    EXPECT_EQ(r.warnings.size(), 6u) << all_warnings(r);
    EXPECT_EQ(about(r, "name (line 5): given again; only the first value (line 4)").size(), 1u);
    EXPECT_EQ(about(r, "Enabled (line 1): outside any section").size(), 1u);
    EXPECT_EQ(about(r, "line 6: \"Dir is D:\\Replays\" has no '='").size(), 1u);
    EXPECT_EQ(about(r, "[ReplayAutosave] (line 10): only the first section").size(), 1u);
    // The second section is not read: ClearIp keeps its default.
    EXPECT_EQ(ra_clear_ip, 1);

    // Section names ignore letter case; another section alone is named.
    r = check("[replayautosave]\nName = %date%_%time%\n[Replay Autosave]\nDir = x\n");
    EXPECT_TRUE(r.warnings.empty()) << all_warnings(r);
    r = check("[Replay Autosave]\nName = %date%_%time%\n[Options]\n");
    ASSERT_EQ(r.warnings.size(), 2u) << all_warnings(r);
    EXPECT_EQ(about(r, "[Replay Autosave]: the plug-in reads only [ReplayAutosave]").size(), 1u);
    EXPECT_EQ(about(r, "[Options]: ").size(), 1u);
}

TEST_F(CheckTool, NamesThatRepeatOrCanComeOutEmpty) {
    ra_check_report r = check_section(
        "sr_name = %date%_%track%_%laps%L\n"
        "st_name = %date%_%time%\n"
        "sk_name = %start_time%_%track%\n"
        "hc_name = %track%_%index%\n"
        "hg_name = %%index%%_%date%\n"
        "ht_name = %name5%%track_tr_md5%\n"
        "hp_name = . .\n"
        "ms_name = %name1%.%time%\n"
        "mt_name = %name1%_%type%\n");
    // Same name for every race: only a date (and the pair of %% around the
    // index word, which is no token), or a racer name and the type.
    EXPECT_EQ(about(r, "sr_name: the name is the same for every race").size(), 1u);
    EXPECT_EQ(about(r, "hg_name: the name is the same for every race").size(), 1u);
    EXPECT_EQ(about(r, "mt_name: the name is the same for every race").size(), 1u);
    EXPECT_EQ(about(r, "ht_name: the name is the same for every race").size(), 1u);
    // Empty: only tokens that can be empty, or only dots and spaces.
    EXPECT_EQ(about(r, "ht_name: the name can come out empty").size(), 1u);
    EXPECT_EQ(about(r, "hp_name: the name can come out empty").size(), 1u);
    // The race start changes too; a name that keeps a time is never empty.
    EXPECT_TRUE(about(r, "sk_name").empty());
    EXPECT_TRUE(about(r, "st_name").empty());
    EXPECT_TRUE(about(r, "hc_name").empty());
    EXPECT_TRUE(about(r, "ms_name").empty());
    // Plus the two %% of hg_name, told once.
    EXPECT_EQ(r.warnings.size(), 7u) << all_warnings(r);
}

TEST_F(CheckTool, ValuesReadOtherwiseThanMeant) {
    std::string dir55 = "D:\\" + std::string(52, 'd');
    ra_check_report r = check_section("Dir = " + dir55 +
                                      "\nEnabled = yes\nIndexStart = 0x10\n"
                                      "ClearIp = -1\nName = %date%_%time% ; my names\n");
    EXPECT_EQ(about(r, "Enabled (line 3): \"yes\" is not a number; the plug-in reads 0").size(), 1u)
        << all_warnings(r);
    EXPECT_EQ(
        about(r, "Name (line 6): the ';' and everything after it are part of the value").size(),
        1u);
    EXPECT_EQ(about(r, "IndexStart (line 4): no template in use has %index%").size(), 1u);
    EXPECT_EQ(r.warnings.size(), 3u) << all_warnings(r);
    EXPECT_EQ(ra_index_start, 16);

    // One character more than 55 and the longest names no longer fit.
    r = check_section("Dir = " + dir55 + "d\n");
    ASSERT_EQ(r.warnings.size(), 1u) << all_warnings(r);
    EXPECT_EQ(
        about(r, "Dir: 56 characters; a replay whose name is longer than 198 characters").size(),
        1u)
        << all_warnings(r);
    // Cut values say so.
    r = check_section("Dir = " + std::string(96, 'd') + "\nName = %date%_%time%" +
                      std::string(150, 'n') + "\n");
    EXPECT_EQ(about(r, "Dir: 96 characters; the plug-in keeps only the first 95").size(), 1u)
        << all_warnings(r);
    EXPECT_EQ(about(r, "Name: 163 characters; the plug-in keeps only the first 159").size(), 1u);
}

// --- What Windows reads where a player would expect something else: the
// file's encoding, words for numbers, comment marks inside values, paths.

TEST_F(CheckTool, EncodingsAreReadAsTheSystemReadsThem) {
    const std::string body = "Name = %track%_%time%\r\nClearIp = 0\r\n";
    // UTF-8 mark before the header on line 1: the header is lost, every
    // default applies, and the tool says why and how to fix it (the keys
    // below are not reported again as outside a section).
    ra_check_report r = check("\xEF\xBB\xBF[ReplayAutosave]\r\n" + body);
    ASSERT_EQ(r.warnings.size(), 1u) << all_warnings(r);
    EXPECT_EQ(about(r, "line 1: the file is saved as UTF-8 with a byte-order mark").size(), 1u);
    EXPECT_NE(r.warnings[0].find("leave line 1 empty"), std::string::npos);
    EXPECT_EQ(ra_clear_ip, 1);
    EXPECT_EQ(name_of(r, "SR").key, "built-in");
    // The same mark is harmless with the header on line 2.
    r = check("\xEF\xBB\xBF\r\n[ReplayAutosave]\r\n" + body);
    EXPECT_TRUE(r.warnings.empty()) << all_warnings(r);
    EXPECT_EQ(ra_clear_ip, 0);

    // "Unicode" (UTF-16LE with its mark): read as text, converted; a letter
    // Windows-1252 has arrives as it is (and becomes '_' in names), one it
    // lacks as '?'.
    auto utf16le = [](const std::u16string &text) {
        std::string bytes = "\xFF\xFE";
        for (char16_t c : text) bytes += {(char)(c & 0xFF), (char)(c >> 8)};
        return bytes;
    };
    r = check(utf16le(u"[ReplayAutosave]\r\nName = %track%_%time%\r\nClearIp = 0\r\n"));
    EXPECT_TRUE(r.warnings.empty()) << all_warnings(r);
    EXPECT_EQ(ra_clear_ip, 0);
    EXPECT_EQ(name_of(r, "SR").path, "SaveData\\Saves\\ALPINE_21-05-09.rp4");
    r = check(utf16le(u"[ReplayAutosave]\r\nName = R\u00E9plica \u0141_%time%\r\n"));
    EXPECT_EQ(std::string(ra_tpls[0].value), "R\xE9plica ?_%time%");
    EXPECT_EQ(about(r, "the file is saved as Unicode and holds characters").size(), 1u)
        << all_warnings(r);
    EXPECT_EQ(about(r, "Name: '?' and non-ASCII letters cannot stand in a file name").size(), 1u);

    // UTF-16 without that mark, or big-endian: the plug-in reads nothing.
    for (const char *mark : {"", "\xFE\xFF"}) {
        std::string bytes = mark;
        for (char c : std::string("[ReplayAutosave]\r\nClearIp = 0\r\n")) {
            bytes += *mark ? std::string{'\0', c} : std::string{c, '\0'};
        }
        r = check(bytes);
        EXPECT_EQ(ra_clear_ip, 1) << *mark;
        ASSERT_EQ(r.warnings.size(), 1u) << all_warnings(r);
        EXPECT_EQ(about(r, "the file is saved as UTF-16 without the mark").size(), 1u);
        EXPECT_EQ(ra_check_format(r, false).find('\0'), std::string::npos);
    }
}

TEST_F(CheckTool, ValuesThatDoNotDoWhatTheySeem) {
    // Words for numbers read as 0: each warning says what follows, and an
    // Enabled that reads 0 lists no names as if replays were saved.
    ra_check_report r = check_section("Enabled = yes\nClearIp = true\nName = %date%_%time%\n");
    EXPECT_EQ(about(r,
                    "Enabled (line 2): \"yes\" is not a number; the plug-in reads 0, so the "
                    "plug-in is OFF: no replay is saved")
                  .size(),
              1u)
        << all_warnings(r);
    EXPECT_EQ(about(r,
                    "ClearIp (line 3): \"true\" is not a number; the plug-in reads 0, so IP "
                    "addresses stay in the copies")
                  .size(),
              1u);
    std::string printed = ra_check_format(r, false);
    EXPECT_NE(printed.find("No file names: Enabled is 0"), std::string::npos) << printed;
    EXPECT_EQ(printed.find(".rp4"), std::string::npos) << printed;

    // ';' and '#' stay in a value wherever they stand.
    r = check_section("Name = %date%_%time%;default name\nsr_name = %track%_%time% # single\n");
    EXPECT_EQ(about(r, "Name (line 2): the ';' and everything after it").size(), 1u)
        << all_warnings(r);
    EXPECT_EQ(about(r, "sr_name (line 3): the '#' and everything after it").size(), 1u);
    EXPECT_EQ(r.warnings.size(), 2u) << all_warnings(r);

    // Dir: a trailing separator, a variable that is never expanded.
    r = check_section("Dir = D:\\Replays\\\nName = %date%_%time%\n");
    EXPECT_EQ(about(r, "Dir: ends in '\\'").size(), 1u) << all_warnings(r);
    r = check_section("Dir = %USERPROFILE%\\Replays\nName = %date%_%time%\n");
    EXPECT_EQ(about(r, "Dir: a '%' is taken as it is").size(), 1u) << all_warnings(r);

    // A name that is the game's own replay saves nothing for that race.
    r = check_section("Dir = Replays\nName = %date%_%time%\nsr_name = REPLAY\n");
    EXPECT_EQ(name_of(r, "SR").path, "");
    EXPECT_TRUE(name_of(r, "SR").is_source);
    EXPECT_EQ(about(r,
                    "Dir and the name template make the game's own replay Replays\\replay.rp4 "
                    "for SR:")
                  .size(),
              1u)
        << all_warnings(r);

    // IndexStart without %index%; characters that become '_'; misspelt
    // tokens get a suggestion.
    r = check_section("IndexStart = 5\nName = %date%_%time%_<%trak%>_%best_lap%\n");
    EXPECT_EQ(about(r, "IndexStart (line 2): no template in use has %index%").size(), 1u)
        << all_warnings(r);
    EXPECT_EQ(about(r, "Name: '<' '>' cannot stand in a file name and become '_'").size(), 1u);
    std::vector<std::string> tokens = about(r, "Name: unknown token");
    ASSERT_EQ(tokens.size(), 2u) << all_warnings(r);
    EXPECT_NE(tokens[0].find("did you mean %track%?"), std::string::npos) << tokens[0];
    EXPECT_NE(tokens[1].find("did you mean %best_lap_carN% with N from 1 to 16?"),
              std::string::npos)
        << tokens[1];
    r = check_section("IndexStart = 5\nName = %date%_%index%\n");
    EXPECT_TRUE(r.warnings.empty()) << all_warnings(r);
}

// --- The shipped example INI and the players' guide: no warning, every key
// and token documented, every example what the plug-in really makes.

// What INI readers read differently: one warning per construct, with its
// line and how to write it so that every reader agrees.
TEST_F(CheckTool, ConstructsReadersReadDifferentlyAreToldOf) {
    const std::string quoted_dir = "\"" + std::string(RA_DIR_SIZE - 1, 'd') + "\"";
    struct {
        std::string body;  // below the header on line 1
        std::string starts, says;
    } cases[] = {
        {"# Dir = x\n", "line 2: ", "start comments with ';'"},
        {"[Other\n", "line 2: ", "has no closing ']'"},
        {"[Other]]\n", "line 2: ", "put nothing after ']'"},
        {std::string("k\0x=1\n", 7), "line 2: ", "a NUL byte"},
        {"Dir = a\x1A\n", "line 2: ", "control character"},
        {"Dir\nDir = x\n", "line 2: ", "add '='"},
        {"IndexStart = 0X10\nName = %index%_%time%\n", "IndexStart (line 2): ", "plain decimal"},
        {"Dir = " + quoted_dir + "\n", "line 2: Dir: ", "leave the quotes off"},
    };
    for (const auto &c : cases) {
        ra_check_report r = check_section(c.body);
        std::vector<std::string> found = about(r, c.starts);
        ASSERT_EQ(found.size(), 1u) << c.body << all_warnings(r);
        EXPECT_NE(found[0].find(c.says), std::string::npos) << found[0];
    }
}

// Whether a key is set, and to what, is what the profile services read; the
// scan only adds line numbers.
TEST_F(CheckTool, KeysAreWhatTheSystemReads) {
    ra_check_report r = check("[ReplayAutosave]\r\nDir = \"Quoted\\Dir\"\r\n# Enabled = 0\r\n");
    EXPECT_NE(r.settings[1].find("Quoted\\Dir"), std::string::npos) << r.settings[1];
    EXPECT_EQ(r.settings[1].find("not set"), std::string::npos) << r.settings[1];
    EXPECT_NE(r.settings[0].find("not set: the default"), std::string::npos) << r.settings[0];
}

TEST_F(CheckTool, ExampleIniIsCleanAndSoAreItsCommentedExamples) {
    std::string example = source_file("examples/" RA_INI_FILE);
    ASSERT_FALSE(example.empty());
    ra_check_report r = check(example);
    EXPECT_TRUE(r.warnings.empty()) << all_warnings(r);
    EXPECT_EQ(name_of(r, "SR").path, "SaveData\\Saves\\2026-03-07_21-05-09_SR_ALPINE_3L_1.rp4");

    // Every key comes with an example line; all of them together are clean.
    std::map<std::string, std::string> examples = commented_examples(example);
    std::string all = "[ReplayAutosave]\n";
    for (const char *key : {"Enabled", "Dir", "IndexStart", "ClearIp", "Record"}) {
        ASSERT_EQ(examples.count(key), 1u) << key;
    }
    for (const ra_tpl &t : ra_tpls) {
        ASSERT_EQ(examples.count(t.key), 1u) << t.key;
        all += std::string(t.key) + " = " + examples[t.key] + "\n";
    }
    r = check(all);
    EXPECT_TRUE(r.warnings.empty()) << all_warnings(r);
    // Each type key then serves its own code.
    for (uint32_t i = 0; i + 1 < ra_check_code_count; ++i) {
        std::string key = ra_check_codes[i].code;
        for (char &c : key) c = (char)tolower(c);
        EXPECT_EQ(r.names[i].key, key + "_name");
    }
}

TEST_F(CheckTool, TokenTablesShowWhatTheExampleRaceGives) {
    for (const char *doc : {"examples/" RA_INI_FILE, "docs/PLAYERS.md"}) {
        SCOPED_TRACE(doc);
        std::string text = source_file(doc);
        for (const char *token : every_token) {
            EXPECT_NE(text.find(token), std::string::npos) << token;
        }
        auto rows = token_examples(text, strstr(doc, ".md") != nullptr);
        EXPECT_GE(rows.size(), 28u);
        for (const auto &row : rows) {
            // Each example as the whole template of the example SR race,
            // whose index starts at 1; '.' becomes '-' in the saved name.
            ra_check_report r = check("[ReplayAutosave]\nsr_name = " + row.first + "\n");
            std::string expected = row.second;
            for (char &c : expected) c = c == '.' ? '-' : c;
            EXPECT_EQ(name_of(r, "SR").path, "SaveData\\Saves\\" + expected + ".rp4") << row.first;
        }
    }
}

TEST_F(CheckTool, DirThatCannotBeMadeOrWrittenIsToldOfAndNothingIsLeft) {
    // A file where a folder of Dir should be: every save would fail.
    ASSERT_TRUE(ra_test_write_file(dir_ + "/Blocked", "not a folder"));
    ra_check_report r = check_section("Dir = Blocked\\Saves\n");
    EXPECT_EQ(about(r, "Dir: " + dir_ +
                           "/Blocked is a file, not a folder, so the plug-in "
                           "cannot save any replay there")
                  .size(),
              1u)
        << all_warnings(r);

    // A folder this account may not write: the system refuses the test file.
    ra_test_reset_plugin();
    const std::string path = dir_ + "/" RA_INI_FILE;
    ASSERT_TRUE(ra_test_write_file(path, "[ReplayAutosave]\nDir = Saves\n"));
    sim_fail_call("CreateFileA", ERROR_ACCESS_DENIED, 1);
    ra_check_run(path, ra_test_read_file(path), nullptr, &r);
    sim_fail_call("CreateFileA", 0, 0);
    EXPECT_EQ(about(r, "Dir: this account may not write in " + dir_ + " (access denied)").size(),
              1u)
        << all_warnings(r);

    // A folder that can be made and written: no warning, and the test file is gone.
    std::vector<std::string> before;
    for (const auto &e : std::filesystem::directory_iterator(dir_)) before.push_back(e.path());
    r = check_section("Dir = Saves\\Later\n");
    EXPECT_EQ(about(r, "Dir").size(), 0u) << all_warnings(r);
    std::vector<std::string> after;
    for (const auto &e : std::filesystem::directory_iterator(dir_)) after.push_back(e.path());
    EXPECT_EQ(after.size(), before.size());
}
