// End-to-end runs of the simulated game with the plug-in loaded, for the
// tests that follow whole replay saves: a scratch game folder with its
// settings file, a race, one run of the simulator, and what the run left
// behind (log lines and files). Every run is played against either the
// plug-in linked into the test or the shipped DLL, loaded afresh for each
// run so that its static state starts as a new game process finds it.
#pragma once

#include <gtest/gtest.h>
#include <stdint.h>
#include <windows.h>

#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "simulation.h"

// Which build of the plug-in the host loads.
enum class e2e_plugin {
    linked,   // the plug-in's sources linked into the test program
    shipped,  // replay_autosave.vqp ($RA_VQP) through the PE loader
};

// Test output names the build: "linked" or "shipped".
void PrintTo(e2e_plugin plugin, std::ostream *os);

// Local time of every save unless a test sets another: 2026-03-07 21:05:09.
extern const SYSTEMTIME e2e_clock;
// What the game's stock save function returns; the game must always get it.
extern const uint32_t e2e_stock_save_result;

// The example race: three laps of ALPINE (track index 2), race type 0,
// replay folder "Replays\", track root "Tracks\", an 8000-byte replay.
// `extra` is appended as race-file text, e.g. "[game]\nrace_type = 4\n".
// A race file that does not parse fails the test.
sim_race_file e2e_race(const std::string &extra = "");

// "replay autosave: enabled=1 dir=<dir> name=<name> clear_ip=<clear_ip>",
// the line VQ_Apply logs first.
std::string e2e_settings_line(const std::string &name, int clear_ip,
                              const std::string &dir = "SaveData\\Saves");

// The shipped DLL's path from $RA_VQP; empty with *why when it is unusable.
std::string e2e_shipped_path(std::string *why);

// Files below a folder: path relative to that folder ("a/b.rp4") -> bytes.
typedef std::map<std::string, std::string> e2e_files;

// Byte-for-byte comparisons that report the first difference instead of
// printing whole replays: use with EXPECT_TRUE.
::testing::AssertionResult e2e_same_bytes(const std::string &expected, const std::string &actual);
// Same names, each with the same bytes; reports the names that differ.
::testing::AssertionResult e2e_same_files(const e2e_files &expected, const e2e_files &actual);

// What one run produced.
struct e2e_run {
    bool ran = false;              // the plug-in was loaded and the game played
    sim_outcome outcome;           // VQ_Apply's result, save results, log lines
    std::vector<std::string> log;  // the log lines (outcome.log)
    e2e_files saved;               // files in the save folder after the run
};

// The game folder of the running test (one per test: making it empties the
// test's scratch folder) and the runs played in it.
class e2e_game {
public:
    explicit e2e_game(e2e_plugin plugin);

    // Host path of the game folder, or of a path relative to it ("/" only).
    const std::string &dir() const { return dir_; }
    std::string path(const std::string &relative) const { return dir_ + "/" + relative; }

    // replay_autosave.ini with section "ReplayAutosave" holding `keys`
    // ("Name = x\nClearIp = 0\n").
    void write_ini(const std::string &keys);
    // A file below the game folder, creating its folders.
    void write(const std::string &relative, const std::string &bytes);
    std::string read(const std::string &relative) const;
    bool exists(const std::string &relative) const;
    // Every file below a folder of the game folder; empty when it is missing.
    e2e_files files(const std::string &relative) const;

    // Faults for the next run only, armed after the plug-in state is reset
    // and before the game starts (see sim_fail_call, sim_short_read).
    // `skip` calls of the service pass before the first failure.
    void fail_call(const char *service, uint32_t error, uint32_t count, uint32_t skip = 0);
    void short_read(uint32_t max_bytes, uint32_t error);

    // Plays the race with `saves` replay saves. Also checks that the patches
    // lead into the build asked for and that every save handed the stock
    // result back to the game.
    e2e_run run(const sim_race_file &race, uint32_t saves = 1);

    SYSTEMTIME clock = e2e_clock;                // local time of every save
    std::string save_folder = "SaveData/Saves";  // what e2e_run::saved lists

private:
    struct fault {
        std::string service;
        uint32_t error, count, skip;
    };
    e2e_plugin plugin_;
    std::string dir_;
    std::vector<fault> faults_;
    bool short_read_ = false;
    uint32_t short_read_max_ = 0, short_read_error_ = 0;
};

// Base of the parameterised suites: every test runs against both builds.
// The shipped variant fails (it never skips) when $RA_VQP is unusable: the
// .vqp is what players get, so a run without it proves nothing about it.
class e2e_test : public ::testing::TestWithParam<e2e_plugin> {
protected:
    void SetUp() override;
};

// "Linked" or "Shipped", the suffix of each test's name.
std::string e2e_param_name(const ::testing::TestParamInfo<e2e_plugin> &info);

#define E2E_INSTANTIATE(suite)                                                           \
    INSTANTIATE_TEST_SUITE_P(Plugins, suite,                                             \
                             ::testing::Values(e2e_plugin::linked, e2e_plugin::shipped), \
                             e2e_param_name)
