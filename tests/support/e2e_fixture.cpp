#include "e2e_fixture.h"

#include <dirent.h>
#include <stdlib.h>
#include <sys/stat.h>

#include "host/host.h"
#include "plugin_state.h"
#include "sim_win32.h"
#include "test_host.h"

const SYSTEMTIME e2e_clock = {2026, 3, 6, 7, 21, 5, 9, 0};
const uint32_t e2e_stock_save_result = 0x5AFE0001u;

namespace {

// A three-lap single race on the example track, as a player would set it up.
const char e2e_base_race[] =
    "[game]\n"
    "race_type = 0\n"
    "m_flag = 0\n"
    "laps = 3\n"
    "track_index = 2\n"
    "cars = 4\n"
    "cops_a = 1\n"
    "cops_b = 1\n"
    "seed = 0x1234ABCD\n"
    "timer_start = 1000\n"
    "timer_now = 20200\n"
    "replay_dir = Replays\\\n"
    "track_root = Tracks\\\n"
    "replay_size = 8000\n"
    "[track_folders]\n"
    "0 = Coast\n"
    "1 = City\n"
    "2 = Alpine\n"
    "[racers]\n"
    "1 = Player\n"
    "2 = Rival\n"
    "3 = Racer3\n"
    "4 = Racer4\n"
    "[car1]\n"
    "slot = 0\n"
    "lap_times = 5340, 5212, 5299\n"
    "total_time = 15851\n"
    "top_speed = 61.5\n"
    "state = 3\n";

// Makes every folder of a host path relative to the game folder.
void make_parents(const std::string &dir, const std::string &relative) {
    for (size_t slash = relative.find('/'); slash != std::string::npos;
         slash = relative.find('/', slash + 1)) {
        mkdir((dir + "/" + relative.substr(0, slash)).c_str(), 0777);
    }
}

void list_files(const std::string &root, const std::string &prefix, e2e_files *out) {
    DIR *dir = opendir((root + "/" + prefix).c_str());
    if (dir == nullptr) return;
    while (struct dirent *entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        std::string relative = prefix.empty() ? name : prefix + "/" + name;
        struct stat st;
        if (stat((root + "/" + relative).c_str(), &st) != 0) continue;
        if (S_ISDIR(st.st_mode)) {
            list_files(root, relative, out);
        } else {
            (*out)[relative] = ra_test_read_file(root + "/" + relative);
        }
    }
    closedir(dir);
}

// Where a CALL or JMP patch written by the host leads.
uint32_t patch_target(const sim_patch_write &write) {
    const std::vector<unsigned char> &b = write.bytes;
    uint32_t disp =
        (uint32_t)b[1] | (uint32_t)b[2] << 8 | (uint32_t)b[3] << 16 | (uint32_t)b[4] << 24;
    return VQ_GAME_BASE + write.rva + (uint32_t)b.size() + disp;
}

}  // namespace

void PrintTo(e2e_plugin plugin, std::ostream *os) {
    *os << (plugin == e2e_plugin::linked ? "linked" : "shipped");
}

sim_race_file e2e_race(const std::string &extra) {
    sim_race_file race;
    std::string error;
    if (!sim_parse_race_file(std::string(e2e_base_race) + extra, "e2e race", &race, &error)) {
        ADD_FAILURE() << "the test's race does not parse: " << error;
    }
    return race;
}

std::string e2e_settings_line(const std::string &name, int clear_ip, const std::string &dir) {
    return "replay autosave: enabled=1 dir=" + dir + " name=" + name +
           " clear_ip=" + std::to_string(clear_ip);
}

std::string e2e_shipped_path(std::string *why) {
    const char *path = getenv("RA_VQP");
    if (path == nullptr || *path == '\0') {
        *why =
            "RA_VQP is not set: run these tests through ctest after building the mingw "
            "preset (the shipped replay_autosave.vqp)";
        return "";
    }
    if (!ra_test_file_exists(path)) {
        *why = std::string("RA_VQP names ") + path +
               ", which does not exist: build the mingw preset first (cmake --preset mingw && "
               "cmake --build --preset mingw), or point RA_VQP_PATH at the .vqp";
        return "";
    }
    return path;
}

::testing::AssertionResult e2e_same_bytes(const std::string &expected, const std::string &actual) {
    if (expected == actual) return ::testing::AssertionSuccess();
    size_t at = 0;
    while (at < expected.size() && at < actual.size() && expected[at] == actual[at]) ++at;
    return ::testing::AssertionFailure() << "expected " << expected.size() << " bytes, got "
                                         << actual.size() << "; first difference at offset " << at;
}

::testing::AssertionResult e2e_same_files(const e2e_files &expected, const e2e_files &actual) {
    std::string differences;
    for (const auto &file : expected) {
        auto it = actual.find(file.first);
        if (it == actual.end()) {
            differences += "\n  missing: " + file.first;
        } else if (it->second != file.second) {
            differences += "\n  changed: " + file.first + " (" +
                           e2e_same_bytes(file.second, it->second).message() + ")";
        }
    }
    for (const auto &file : actual) {
        if (expected.count(file.first) == 0) differences += "\n  unexpected: " + file.first;
    }
    if (differences.empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the files differ:" << differences;
}

e2e_game::e2e_game(e2e_plugin plugin) : plugin_(plugin), dir_(ra_test_scratch_dir()) {}

void e2e_game::write_ini(const std::string &keys) {
    write("replay_autosave.ini", "[ReplayAutosave]\n" + keys);
}

void e2e_game::write(const std::string &relative, const std::string &bytes) {
    make_parents(dir_, relative);
    if (!ra_test_write_file(path(relative), bytes)) ADD_FAILURE() << "cannot write " << relative;
}

std::string e2e_game::read(const std::string &relative) const {
    return ra_test_read_file(path(relative));
}

bool e2e_game::exists(const std::string &relative) const {
    return ra_test_file_exists(path(relative));
}

e2e_files e2e_game::files(const std::string &relative) const {
    e2e_files out;
    list_files(path(relative), "", &out);
    return out;
}

void e2e_game::fail_call(const char *service, uint32_t error, uint32_t count, uint32_t skip) {
    faults_.push_back(fault{service, error, count, skip});
}

void e2e_game::short_read(uint32_t max_bytes, uint32_t error) {
    short_read_ = true;
    short_read_max_ = max_bytes;
    short_read_error_ = error;
}

e2e_run e2e_game::run(const sim_race_file &race, uint32_t saves) {
    e2e_run result;
    // The linked plug-in's statics as a new process finds them; the shipped
    // DLL gets the same from being loaded afresh below. This also clears the
    // stand-ins' faults, call counters and recorded directories.
    ra_test_reset_plugin();

    sim_plugin plugin;
    std::string error;
    if (plugin_ == e2e_plugin::linked) {
        sim_plugin_linked(&plugin);
    } else {
        std::string path = e2e_shipped_path(&error);
        if (path.empty() || !sim_plugin_load_dll(path.c_str(), &plugin, &error)) {
            ADD_FAILURE() << "the shipped plug-in cannot be loaded: " << error;
            return result;
        }
    }

    for (const fault &f : faults_) {
        sim_fail_call_after(f.service.c_str(), f.skip, f.error, f.count);
    }
    if (short_read_) sim_short_read(short_read_max_, short_read_error_);
    faults_.clear();
    short_read_ = false;

    sim_options options;
    options.game_dir = dir_;
    options.race = race;
    options.fixed_clock = true;
    options.clock = clock;
    options.saves = saves;
    result.ran = sim_run(options, &plugin, false, &result.outcome, &error);
    if (!result.ran) {
        sim_plugin_unload(&plugin);
        ADD_FAILURE() << "the simulated game did not run: " << error;
        return result;
    }
    // The game must have been patched into the build asked for, not the other.
    EXPECT_FALSE(sim_host_writes.empty());
    const uint32_t dll_base = (uint32_t)(uintptr_t)plugin.dll.base;
    for (const sim_patch_write &write : sim_host_writes) {
        if (write.bytes.size() != VQ_REL32_SIZE) continue;
        uint32_t target = patch_target(write);
        bool into_dll = dll_base != 0 && target >= dll_base && target - dll_base < plugin.dll.size;
        EXPECT_EQ(into_dll, plugin_ == e2e_plugin::shipped) << write.name << " leads elsewhere";
    }
    sim_plugin_unload(&plugin);

    // Whatever the plug-in did, the game must get its own save result back.
    EXPECT_EQ(result.outcome.apply_result, 1);
    EXPECT_EQ(result.outcome.save_results.size(), saves);
    for (uint32_t got : result.outcome.save_results) {
        EXPECT_EQ(got, e2e_stock_save_result) << "a save call returned another result to the game";
    }
    result.log = result.outcome.log;
    result.saved = files(save_folder);
    return result;
}

void e2e_test::SetUp() {
    if (GetParam() != e2e_plugin::shipped) return;
    std::string why;
    if (e2e_shipped_path(&why).empty()) FAIL() << why;
}

std::string e2e_param_name(const ::testing::TestParamInfo<e2e_plugin> &info) {
    return info.param == e2e_plugin::linked ? "Linked" : "Shipped";
}
