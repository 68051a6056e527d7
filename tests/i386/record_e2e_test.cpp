// The record of saved replays through the simulated game, against the
// plug-in linked in and the shipped replay_autosave.vqp: with Record on,
// every save adds one line to Dir's replays.csv, after a header when the
// file is new or empty; with Record off, Dir holds only the replays; and a
// record that cannot be written is logged while the saved replay stands.
#include <gtest/gtest.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "autosave/autosave.h"
#include "e2e_fixture.h"
#include "sim_win32.h"

namespace {

typedef std::vector<std::string> lines;

const char record_file[] = "replays.csv";
const char record_path[] = "SaveData\\Saves\\replays.csv";

// The columns 1..16 of a numbered group, joined by commas.
std::string numbered(const std::string &prefix) {
    std::string out;
    for (int i = 1; i <= 16; ++i) out += (i > 1 ? "," : "") + prefix + std::to_string(i);
    return out;
}

// Sixteen values: the first, then fifteen times `rest`.
std::string first_then(const std::string &first, const std::string &rest) {
    std::string out = first;
    for (int i = 2; i <= 16; ++i) out += "," + rest;
    return out;
}

const std::string header =
    "file,saved,started,type,track,laps,cars,count,cops,traffic,tier,circ,seed,weather,night,"
    "direction,mirror,start_pos,index,track_tr_md5,track_trn_md5,source," +
    numbered("name") + "," + numbered("best_lap_car") + "," + numbered("total_time_car") + "," +
    numbered("max_speed_car") + ",player,replay_md5\r\n";

// The example race with a started time, the player starting fourth, night,
// and racers whose names hold what neither a file name nor CSV takes as is.
const char race_extra[] =
    "[game]\nnight = 1\n"
    "[start_positions]\n0 = 3\n"
    "[racers]\n2 = O\"Neil, Jo\n3 = Tab\tRacer?3\n"
    "[race_start]\nclock = 2026-03-07T20:59:30\n";

// The copy as scrubbing leaves the example replay: block 56..63 cleared.
std::string scrubbed(std::string bytes) {
    std::fill(bytes.begin() + 56, bytes.begin() + 64, '\0');
    return bytes;
}

// The digest a line gives the saved copy of the example replay's `bytes`:
// of its head as a share sends it (scrubbed), and its size.
std::string digest_of(const std::string &bytes) {
    const std::string head = scrubbed(bytes).substr(0, RA_SCRUB_REGION);
    char digest[RA_MD5_TEXT_SIZE];
    ra_replay_digest_of((const uint8_t *)head.data(), (uint32_t)head.size(), bytes.size(), digest);
    return digest;
}

// The line of save `index` of that race named by "%name2%_%index%": the
// tokens' values, with text as it is (quoted, quotes doubled, the tab '_'),
// the player's car, the first, and the digest of the saved `bytes`.
std::string record_line(int index, const std::string &bytes) {
    const std::string i = std::to_string(index);
    return "\"O_Neil, Jo_" + i +
           ".rp4\",2026-03-07 21:05:09,2026-03-07 20:59:30,SR,ALPINE,3,4,4,2,0,0,0,1234ABCD,DRY,"
           "NIGHT,NORMAL,NORMAL,4," +
           i + ",,,Replays\\replay.rp4,Player,\"O\"\"Neil, Jo\",Tab_Racer?3,Racer4,,,,,,,,,,,,," +
           first_then("81.44", "0.00") + "," + first_then("247.67", "0.00") + "," +
           first_then("221", "0") + ",1," + digest_of(bytes) + "\r\n";
}

std::string saved_line(const std::string &name) {
    return "replay autosave: SaveData\\Saves\\" + name + " (type=SR)";
}

class RecordE2e : public e2e_test {};

TEST_P(RecordE2e, EverySaveAddsALineOfItsTokensValues) {
    e2e_game game(GetParam());
    game.write_ini("Name = %name2%_%index%\nClearIp = 0\nRecord = 1\n");
    const sim_race_file race = e2e_race(race_extra);
    const std::string tpl = "%name2%_%index%";

    // A new file: the header, then a line per save; the log is unchanged.
    e2e_run run = game.run(race, 2);
    EXPECT_EQ(run.log, (lines{e2e_settings_line(tpl, 0), saved_line("O_Neil, Jo_1.rp4"),
                              saved_line("O_Neil, Jo_2.rp4")}));
    EXPECT_TRUE(e2e_same_files({{"O_Neil, Jo_1.rp4", sim_replay_bytes(race, 0)},
                                {"O_Neil, Jo_2.rp4", sim_replay_bytes(race, 1)},
                                {record_file, header + record_line(1, sim_replay_bytes(race, 0)) +
                                                  record_line(2, sim_replay_bytes(race, 1))}},
                               run.saved));

    // The next game appends to what is there, without a second header.
    run = game.run(race);
    EXPECT_EQ(run.log, (lines{e2e_settings_line(tpl, 0), saved_line("O_Neil, Jo_3.rp4")}));
    EXPECT_EQ(run.saved[record_file], header + record_line(1, sim_replay_bytes(race, 0)) +
                                          record_line(2, sim_replay_bytes(race, 1)) +
                                          record_line(3, sim_replay_bytes(race, 0)));
    EXPECT_EQ(sim_open_handles(), 0u);
}

TEST_P(RecordE2e, RecordOffLeavesOnlyTheReplaysAndAbsentKeepsTheRecord) {
    e2e_game game(GetParam());
    const sim_race_file race = e2e_race(race_extra);
    game.write_ini("Name = r\nClearIp = 0\nRecord = 0\n");
    e2e_run run = game.run(race);
    EXPECT_EQ(run.log, (lines{e2e_settings_line("r", 0), saved_line("r.rp4")}));
    EXPECT_TRUE(e2e_same_files({{"r.rp4", sim_replay_bytes(race, 0)}}, run.saved));
    EXPECT_EQ(sim_call_count("CreateFileA"), 0u);

    // Without the key the record is kept: it is on by default.
    game.write_ini("Name = r\nClearIp = 0\n");
    run = game.run(race);
    EXPECT_EQ(run.saved.count(record_file), 1u);
}

TEST_P(RecordE2e, RecordNotWrittenIsLoggedAndTheReplayStands) {
    const sim_race_file race = e2e_race(race_extra);
    const std::string tpl = "%name2%_%index%";
    const std::string name = "O_Neil, Jo_1.rp4";
    // The scrub's open and write-back come first and pass (skip 1); the
    // record's fail.
    for (const char *service : {"CreateFileA", "WriteFile"}) {
        SCOPED_TRACE(service);
        e2e_game game(GetParam());
        game.write_ini("Name = " + tpl + "\nRecord = 1\n");
        const uint32_t error =
            strcmp(service, "WriteFile") == 0 ? ERROR_DISK_FULL : ERROR_ACCESS_DENIED;
        game.fail_call(service, error, 1, 1);
        e2e_run run = game.run(race);
        EXPECT_EQ(run.log, (lines{e2e_settings_line(tpl, 1), saved_line(name),
                                  "replay autosave: record not written (" + std::to_string(error) +
                                      "): " + record_path}));
        EXPECT_TRUE(e2e_same_bytes(scrubbed(sim_replay_bytes(race, 0)), run.saved[name]));
        EXPECT_EQ(sim_open_handles(), 0u);
        if (error == ERROR_ACCESS_DENIED) {
            EXPECT_EQ(run.saved.count(record_file), 0u);
            continue;
        }
        // The failed write left the file its open created, empty: the next
        // save gives it the header.
        EXPECT_EQ(run.saved[record_file], "");
        run = game.run(race);
        EXPECT_EQ(run.log.size(), 2u);
        EXPECT_EQ(run.saved[record_file], header + record_line(2, sim_replay_bytes(race, 0)));
    }
}

}  // namespace

E2E_INSTANTIATE(RecordE2e);
