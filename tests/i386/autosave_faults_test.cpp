// Faults with nothing lost: every file service the autosave uses fails in
// turn during a replay save, against the plug-in linked in and against the
// shipped replay_autosave.vqp. Whatever fails, the game's own replay.rp4 and
// every replay saved earlier stay byte for byte as they were, the failure is
// logged where the plug-in logs it (scrubbing failures are silent and the
// save is still reported), no handle stays open, and the game gets the
// result of its own save function (checked by every run of the fixture).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "e2e_fixture.h"
#include "sim_win32.h"

namespace {

typedef std::vector<std::string> lines;

// What the faulty save ends with.
enum class ending {
    source_missing,   // the replay looks missing: logged, nothing copied
    copy_failed,      // the copy is refused: logged, no new file
    saved_as_copied,  // saved and reported, but not scrubbed
    saved_scrubbed,   // saved, scrubbed and reported as if nothing failed
};

struct fault_row {
    const char *what;
    const char *service;  // the failing service; null: a short read of the copy
    uint32_t error;       // last error of the failing calls
    uint32_t count;       // calls that fail
    bool new_dir;         // Dir names a folder that does not exist yet
    ending end;
    uint32_t logged;  // error code of the copy-failed line
};

const fault_row rows[] = {
    // The existence test of the game's replay is refused: it counts as missing.
    {"existence test", "GetFileAttributesA", ERROR_ACCESS_DENIED, 1, false, ending::source_missing,
     0},
    // Directories that cannot be made do not stop the copy: into an existing
    // Dir it succeeds, into a new one the copy itself fails.
    {"directory creation, Dir exists", "CreateDirectoryA", ERROR_ACCESS_DENIED, 10, false,
     ending::saved_scrubbed, 0},
    {"directory creation, Dir new", "CreateDirectoryA", ERROR_ACCESS_DENIED, 10, true,
     ending::copy_failed, ERROR_PATH_NOT_FOUND},
    // The copy itself.
    {"copy, disk full", "CopyFileA", ERROR_DISK_FULL, 1, false, ending::copy_failed,
     ERROR_DISK_FULL},
    {"copy, access denied", "CopyFileA", ERROR_ACCESS_DENIED, 1, false, ending::copy_failed,
     ERROR_ACCESS_DENIED},
    {"copy, sharing violation", "CopyFileA", ERROR_SHARING_VIOLATION, 1, false, ending::copy_failed,
     ERROR_SHARING_VIOLATION},
    // Scrubbing: every failure leaves the copy exactly as copied.
    {"scrub open", "CreateFileA", ERROR_SHARING_VIOLATION, 1, false, ending::saved_as_copied, 0},
    {"scrub read", "ReadFile", ERROR_ACCESS_DENIED, 1, false, ending::saved_as_copied, 0},
    {"scrub short read", nullptr, 0, 0, false, ending::saved_as_copied, 0},
    {"scrub seek", "SetFilePointer", ERROR_INVALID_PARAMETER, 1, false, ending::saved_as_copied, 0},
    {"scrub write", "WriteFile", ERROR_DISK_FULL, 1, false, ending::saved_as_copied, 0},
};

const char source[] = "Replays\\replay.rp4";
const char tpl[] = "%date%_%index%";

// The copy as scrubbing leaves it: block 56..63 and the address at offset
// 100 cleared; the game's letters hold no other dotted quad.
std::string scrubbed(std::string bytes, const std::string &ip) {
    std::fill(bytes.begin() + 56, bytes.begin() + 64, '\0');
    std::fill(bytes.begin() + SIM_REPLAY_IP_OFFSET,
              bytes.begin() + SIM_REPLAY_IP_OFFSET + (long)ip.size(), '\0');
    return bytes;
}

class AutosaveFaults : public e2e_test {};

TEST_P(AutosaveFaults, EveryFailingFileServiceLosesNothing) {
    // The earlier game saved one replay; the faulty one writes a different
    // replay (other length, other address) so that a mix-up shows.
    const sim_race_file earlier_race = e2e_race("[game]\nreplay_ip = 192.168.0.17\n");
    const sim_race_file race = e2e_race("[game]\nreplay_ip = 10.1.2.3\nreplay_size = 7000\n");
    const std::string replay = sim_replay_bytes(race, 0);

    for (const fault_row &row : rows) {
        SCOPED_TRACE(row.what);
        e2e_game game(GetParam());
        game.save_folder = "SaveData";
        game.write_ini(std::string("Name = ") + tpl + "\nRecord = 0\n");
        e2e_run run = game.run(earlier_race);
        const e2e_files earlier = run.saved;
        ASSERT_EQ(earlier.size(), 1u);

        const std::string dir = row.new_dir ? "SaveData\\Saves\\Season 2" : "SaveData\\Saves";
        const std::string host_dir = row.new_dir ? "Saves/Season 2/" : "Saves/";
        const std::string name = row.new_dir ? "2026-03-07_1.rp4" : "2026-03-07_2.rp4";
        const std::string dst = dir + "\\" + name;
        game.write_ini("Dir = " + dir + "\nName = " + tpl + "\nRecord = 0\n");
        if (row.service != nullptr) {
            game.fail_call(row.service, row.error, row.count);
        } else {
            game.short_read(4096, 0);
        }
        run = game.run(race);

        lines log = {e2e_settings_line(tpl, 1, dir)};
        e2e_files files = earlier;
        switch (row.end) {
        case ending::source_missing:
            log.push_back("replay autosave: " + std::string(source) + " missing, nothing to copy");
            break;
        case ending::copy_failed:
            log.push_back("replay autosave: copy failed (" + std::to_string(row.logged) +
                          "): " + source + " -> " + dst);
            break;
        case ending::saved_as_copied:
            log.push_back("replay autosave: " + dst + " (type=SR)");
            files[host_dir + name] = replay;
            break;
        case ending::saved_scrubbed:
            log.push_back("replay autosave: " + dst + " (type=SR)");
            files[host_dir + name] = scrubbed(replay, "10.1.2.3");
            break;
        }
        EXPECT_EQ(run.log, log);
        EXPECT_TRUE(e2e_same_files(files, run.saved));
        EXPECT_TRUE(e2e_same_bytes(replay, game.read("Replays/replay.rp4")))
            << "the game's own replay changed";
        EXPECT_EQ(sim_open_handles(), 0u);
        if (row.service != nullptr) {
            EXPECT_GE(sim_call_count(row.service), 1u);
        }
    }
}

// A template without "%index%" replaces the file it names; when the copy
// fails, the replay it would have replaced must survive untouched.
TEST_P(AutosaveFaults, FailedReplacementKeepsTheOldReplay) {
    e2e_game game(GetParam());
    game.write_ini("Name = %date%_%track%\nRecord = 0\n");
    const sim_race_file race = e2e_race();
    e2e_run run = game.run(race);
    const e2e_files earlier = run.saved;
    ASSERT_EQ(earlier.size(), 1u);

    for (uint32_t error : {ERROR_DISK_FULL, ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION}) {
        game.fail_call("CopyFileA", error, 1);
        run = game.run(e2e_race("[game]\nreplay_size = 9000\n"));
        ASSERT_EQ(run.log.size(), 2u);
        EXPECT_EQ(run.log.back(), "replay autosave: copy failed (" + std::to_string(error) +
                                      "): Replays\\replay.rp4 -> "
                                      "SaveData\\Saves\\2026-03-07_ALPINE.rp4");
        EXPECT_TRUE(e2e_same_files(earlier, run.saved)) << "error " << error;
    }
}

}  // namespace

E2E_INSTANTIATE(AutosaveFaults);
