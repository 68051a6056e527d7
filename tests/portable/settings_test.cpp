// Settings: what replay_autosave.ini beside the game executable yields, and
// what is left when it is missing or cannot even be located.
#include <gtest/gtest.h>
#include <ctype.h>
#include <sys/stat.h>

#include <string>

#include "plugin_state.h"
#include "settings/settings.h"
#include "sim_win32.h"

namespace {

// Windows form of a host folder, as the game would see it.
std::string windows_folder(const std::string &host_folder) {
    std::string w = "C:" + host_folder;
    for (char &c : w) c = c == '/' ? '\\' : c;
    return w;
}

class Settings : public ::testing::Test {
protected:
    void SetUp() override {
        ra_test_reset_plugin();
        dir_ = ra_test_scratch_dir();
        place_game_in(dir_);
    }
    void TearDown() override { ra_test_reset_plugin(); }

    // The game executable lies in host_folder; returns the INI's host path.
    std::string place_game_in(const std::string &host_folder) {
        sim_set_module_path((windows_folder(host_folder) + "\\game.exe").c_str());
        return host_folder + "/" RA_INI_FILE;
    }
    void write_ini(const std::string &body) {
        ASSERT_TRUE(ra_test_write_file(dir_ + "/" RA_INI_FILE, "[ReplayAutosave]\n" + body));
    }
    static void expect_initial_templates() {
        for (const ra_tpl &tpl : ra_tpls) EXPECT_STREQ(tpl.value, "") << tpl.key;
    }

    std::string dir_;
};

}  // namespace

// Every test starts from the plug-in's own initial values, copied before
// any test ran; they are what a path that cannot be formed leaves in place.
TEST(SettingsStorage, InitialValuesAreThePluginsOwn) {
    const ra_test_settings &initial = ra_test_initial_settings();
    EXPECT_EQ(initial.enabled, 1);
    EXPECT_STREQ(initial.dir, "SaveData\\Saves");
    for (const ra_tpl &tpl : initial.tpls) EXPECT_STREQ(tpl.value, "") << tpl.key;
    EXPECT_STREQ(initial.tpls[0].key, "Name");
    EXPECT_STREQ(initial.tpls[RA_TPL_COUNT - 1].key, "mh_name");
    EXPECT_EQ(initial.index_start, 1);
    EXPECT_EQ(initial.clear_ip, 0);
    EXPECT_EQ(initial.record, 0);
    EXPECT_EQ(initial.cfg_loaded, 0);
}

TEST_F(Settings, MissingIniGivesKeyDefaults) {
    EXPECT_EQ(ra_load_config(), 1);
    EXPECT_EQ(ra_cfg_loaded, 1);
    EXPECT_EQ(ra_enabled, 1);
    EXPECT_STREQ(ra_dir, "SaveData\\Saves");
    expect_initial_templates();
    EXPECT_EQ(ra_index_start, 1);
    // The key's default, on: unlike a path that cannot be formed.
    EXPECT_EQ(ra_clear_ip, 1);
}

TEST_F(Settings, ModuleFolderOf239CharactersIsReadButNotOf240) {
    // The folder part plus "\replay_autosave.ini" and the terminator must
    // fit in 260 bytes. A folder below the scratch folder gets the length.
    std::string base = windows_folder(dir_);
    if (base.size() + 2 > 239) GTEST_SKIP() << "scratch folder too deep: " << dir_;
    const std::string ini_body = "[ReplayAutosave]\nEnabled=0\nDir=Elsewhere\nClearIp=0\n";
    size_t pad_239 = 239 - base.size() - 1;

    // Exactly 239: read.
    std::string folder_239 = dir_ + "/" + std::string(pad_239, 'a');
    ASSERT_EQ(mkdir(folder_239.c_str(), 0777), 0);
    ASSERT_TRUE(ra_test_write_file(place_game_in(folder_239), ini_body));
    ASSERT_EQ(windows_folder(folder_239).size(), 239u);
    EXPECT_EQ(ra_load_config(), 0);
    EXPECT_STREQ(ra_dir, "Elsewhere");

    // 240: nothing read; initial values stay, so ClearIp is off.
    ra_test_reset_plugin();
    std::string folder_240 = dir_ + "/" + std::string(pad_239 + 1, 'b');
    ASSERT_EQ(mkdir(folder_240.c_str(), 0777), 0);
    ASSERT_TRUE(ra_test_write_file(place_game_in(folder_240), ini_body));
    EXPECT_EQ(ra_load_config(), 1);
    EXPECT_EQ(ra_cfg_loaded, 1);
    EXPECT_STREQ(ra_dir, "SaveData\\Saves");
    expect_initial_templates();
    EXPECT_EQ(ra_index_start, 1);
    EXPECT_EQ(ra_clear_ip, 0);
    EXPECT_EQ(sim_call_count("GetPrivateProfileIntA"), 0u);
    EXPECT_EQ(sim_call_count("GetPrivateProfileStringA"), 0u);

    // A module path cut short (260 characters or more) is not used either.
    ra_test_reset_plugin();
    sim_set_module_path(("C:\\" + std::string(251, 'c') + "\\game.exe").c_str());
    EXPECT_EQ(ra_load_config(), 1);
    EXPECT_EQ(ra_clear_ip, 0);
    EXPECT_EQ(sim_call_count("GetPrivateProfileIntA"), 0u);

    // So is one without a "\".
    ra_test_reset_plugin();
    sim_set_module_path("game.exe");
    EXPECT_EQ(ra_load_config(), 1);
    EXPECT_EQ(ra_clear_ip, 0);
}

TEST_F(Settings, ModulePathOf259CharactersIsReadButNotOf260) {
    // GetModuleFileNameA fills the 260-byte buffer and returns 260 when the
    // path was cut: the cut path must not be used, even though it would
    // still lead to a folder holding the INI file.
    const std::string folder = windows_folder(dir_);
    ASSERT_LE(folder.size(), 239u) << "scratch folder too deep: " << dir_;
    write_ini("Dir=Elsewhere\n");
    const size_t exe_259 = 259 - folder.size() - 1;
    const std::string path_259 = folder + "\\" + std::string(exe_259 - 4, 'g') + ".exe";
    ASSERT_EQ(path_259.size(), 259u);
    sim_set_module_path(path_259.c_str());
    EXPECT_EQ(ra_load_config(), 1);
    EXPECT_STREQ(ra_dir, "Elsewhere");
    EXPECT_EQ(ra_clear_ip, 1);  // the key's default: the file was read

    ra_test_reset_plugin();
    const std::string path_260 = folder + "\\" + std::string(exe_259 - 3, 'g') + ".exe";
    ASSERT_EQ(path_260.size(), 260u);
    sim_set_module_path(path_260.c_str());
    EXPECT_EQ(ra_load_config(), 1);
    EXPECT_STREQ(ra_dir, "SaveData\\Saves");
    EXPECT_EQ(ra_clear_ip, 0);
    EXPECT_EQ(sim_call_count("GetPrivateProfileIntA"), 0u);
    EXPECT_EQ(sim_call_count("GetPrivateProfileStringA"), 0u);
}

TEST_F(Settings, EnabledZeroDisablesAnyOtherValueEnables) {
    const char *values[] = {"0", "2", "-1"};
    const int32_t expected[] = {0, 2, -1};
    for (int i = 0; i < 3; ++i) {
        ra_test_reset_plugin();
        place_game_in(dir_);
        write_ini(std::string("Enabled=") + values[i] + "\n");
        EXPECT_EQ(ra_load_config(), expected[i]) << values[i];
        EXPECT_EQ(ra_enabled, expected[i]);
    }
}

TEST_F(Settings, EmptyDirAndNegativeIndexStartAreRepaired) {
    // An empty Dir is no directory: the default takes its place.
    write_ini("Dir=\nIndexStart=-5\nClearIp=0\n");
    ra_load_config();
    EXPECT_STREQ(ra_dir, "SaveData\\Saves");
    EXPECT_EQ(ra_index_start, 0);
    EXPECT_EQ(ra_clear_ip, 0);

    // IndexStart 0 stays 0; a Dir with "/" is kept as written.
    ra_test_reset_plugin();
    place_game_in(dir_);
    write_ini("Dir=Replays/Auto\nIndexStart=0\n");
    ra_load_config();
    EXPECT_STREQ(ra_dir, "Replays/Auto");
    EXPECT_EQ(ra_index_start, 0);
}

TEST_F(Settings, OverLongValuesAreCut) {
    std::string tpl(200, 't');
    std::string dir(150, 'd');
    write_ini("Name=" + tpl + "\nDir=" + dir + "\n");
    ra_load_config();
    EXPECT_EQ(std::string(ra_tpls[0].value), tpl.substr(0, 159));
    EXPECT_EQ(std::string(ra_dir), dir.substr(0, 95));
}

TEST_F(Settings, EveryTemplateKeyIsReadAndLookedUpIgnoringCase) {
    // Each key gets its own value; keys in the file may be in any case.
    std::string body;
    for (int i = 0; i < RA_TPL_COUNT; ++i) {
        std::string key = ra_tpls[i].key;
        if (i % 2) {
            for (char &c : key) c = (char)toupper((unsigned char)c);
        }
        body += key + "=tpl" + std::to_string(i) + "\n";
    }
    write_ini(body + "c_name=\n");  // a second c_name is ignored: the first counts
    ra_load_config();
    for (int i = 0; i < RA_TPL_COUNT; ++i) {
        EXPECT_EQ(std::string(ra_tpls[i].value), "tpl" + std::to_string(i)) << ra_tpls[i].key;
    }
    // Lookup ignores case.
    ASSERT_NE(ra_tpl_lookup("SR_NAME"), nullptr);
    EXPECT_STREQ(ra_tpl_lookup("SR_NAME"), "tpl8");
    EXPECT_STREQ(ra_tpl_lookup("name"), "tpl0");
    // Keys outside the table, the one made from "??" included, find nothing.
    EXPECT_EQ(ra_tpl_lookup("??_name"), nullptr);
    EXPECT_EQ(ra_tpl_lookup("xx_name"), nullptr);
    EXPECT_EQ(ra_tpl_lookup(""), nullptr);
}

TEST_F(Settings, EmptyTemplateCountsAsAbsent) {
    write_ini("sr_name=\nName=  \nmh_name=%track%\n");
    ra_load_config();
    EXPECT_EQ(ra_tpl_lookup("sr_name"), nullptr);
    EXPECT_EQ(ra_tpl_lookup("Name"), nullptr);
    EXPECT_STREQ(ra_tpl_lookup("MH_NAME"), "%track%");
}

TEST_F(Settings, SecondLoadReadsNothing) {
    write_ini("Enabled=1\nDir=First\n");
    EXPECT_EQ(ra_load_config(), 1);
    uint32_t reads = sim_call_count("GetPrivateProfileStringA");
    EXPECT_GT(reads, 0u);

    // Edits take effect at the next start of the game only.
    write_ini("Enabled=0\nDir=Second\n");
    EXPECT_EQ(ra_load_config(), 1);
    EXPECT_STREQ(ra_dir, "First");
    EXPECT_EQ(sim_call_count("GetPrivateProfileStringA"), reads);
    EXPECT_EQ(sim_call_count("GetModuleFileNameA"), 1u);
}
