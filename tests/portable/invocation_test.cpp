// How the program is started decides its job: a double click, a file
// dropped on the Windows program, or a command line.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "jobs/job_alias.h"
#include "jobs/job_check.h"
#include "jobs/job_import.h"
#include "jobs/job_keep.h"
#include "jobs/job_leaderboard.h"
#include "jobs/job_list.h"
#include "jobs/job_page.h"
#include "jobs/job_prune.h"
#include "jobs/job_remove.h"
#include "jobs/job_repair.h"
#include "jobs/job_restore.h"
#include "jobs/job_serve.h"
#include "jobs/job_share.h"
#include "program/commands.h"
#include "program/invocation.h"

TEST(Invocation, DoubleClickAndDroppedFiles) {
    // No argument: check the INI beside the program, then the ten newest.
    ra_invocation inv = ra_parse_invocation({});
    EXPECT_EQ(inv.action, ra_action::double_click);
    EXPECT_TRUE(inv.dropped);
    const ra_double_click_job *click = ra_job_of<ra_double_click_job>(inv);
    ASSERT_NE(click, nullptr);
    EXPECT_EQ(click->check.ini, "");
    EXPECT_EQ(click->list.ini, "");
    EXPECT_EQ(click->list.newest, 10u);

    // Replays, in any letter case, one or several: the player chooses to
    // watch or share them.
    for (const std::vector<std::string> &args : std::vector<std::vector<std::string>>{
             {"C:\\Games\\Racer\\SaveData\\Saves\\2026-03-07_SR.RP4"},
             {"C:\\Saves\\a.rp4", "C:\\Saves\\b.rp4"}}) {
        inv = ra_parse_invocation(args);
        EXPECT_EQ(inv.action, ra_action::replays);
        EXPECT_TRUE(inv.dropped);
        ASSERT_NE(ra_job_of<ra_dropped_replays_job>(inv), nullptr);
        EXPECT_EQ(ra_job_of<ra_dropped_replays_job>(inv)->files, args);
    }

    // A settings file: checked.
    inv = ra_parse_invocation({"D:\\backup\\replay_autosave.ini"});
    EXPECT_EQ(inv.command, &ra_check_command);
    ASSERT_NE(ra_job_of<ra_check_job>(inv), nullptr);
    EXPECT_EQ(ra_job_of<ra_check_job>(inv)->ini, "D:\\backup\\replay_autosave.ini");

    // A friend's share or card: imported.
    inv = ra_parse_invocation({"C:\\Users\\me\\Downloads\\Ann_2026-03-07.RPSHARE"});
    EXPECT_EQ(inv.command, &ra_import_command);
    ASSERT_NE(ra_job_of<ra_import_job>(inv), nullptr);
    EXPECT_EQ(ra_job_of<ra_import_job>(inv)->file,
              "C:\\Users\\me\\Downloads\\Ann_2026-03-07.RPSHARE");
    EXPECT_EQ(ra_parse_invocation({"Ann.rpcard"}).command, &ra_import_command);

    // Anything else dropped, or several files, is no job.
    for (const std::vector<std::string> &args :
         std::vector<std::vector<std::string>>{{"notes.txt"}, {"a.rp4", "b.ini"}}) {
        inv = ra_parse_invocation(args);
        EXPECT_EQ(inv.action, ra_action::usage_error) << args[0];
        EXPECT_FALSE(inv.text.empty());
    }
    // A folder, the record file or two files: one sentence says what can be dropped.
    for (const std::vector<std::string> &args :
         std::vector<std::vector<std::string>>{{"C:\\Games\\Racer\\SaveData\\Saves"},
                                               {"C:\\Games\\Racer\\SaveData\\Saves\\replays.csv"},
                                               {"C:\\Saves\\a.rp4", "C:\\Saves\\b.ini"}}) {
        inv = ra_parse_invocation(args);
        EXPECT_EQ(inv.action, ra_action::usage_error) << args[0];
        EXPECT_TRUE(inv.dropped) << args[0];
        EXPECT_EQ(inv.text,
                  "replay-autosave takes dropped replays (.rp4), to watch one in the game or "
                  "share them, or one dropped file: a replay_autosave.ini, which it checks, or "
                  "a friend's share (.rpshare) or card (.rpcard), which it imports; folders, "
                  "replays.csv and other files cannot be dropped.\n");
    }
}

// The job of the command's typed struct, or a failed test.
template <class Job>
const Job &job_of(const ra_invocation &inv) {
    static const Job none;
    const Job *job = ra_job_of<Job>(inv);
    EXPECT_NE(job, nullptr) << inv.text;
    return job != nullptr ? *job : none;
}

TEST(Invocation, EveryCommandReadsItsOptionsIntoItsJob) {
    struct command_line {
        std::vector<std::string> args;
        const ra_command *command;
        void (*expect)(const ra_invocation &inv);
    };
    const command_line lines[] = {
        {{"check", "-q", "--race", "race.ini", "--ini", "x.ini"},
         &ra_check_command,
         [](const ra_invocation &inv) {
             const ra_check_job &job = job_of<ra_check_job>(inv);
             EXPECT_TRUE(job.quiet);
             EXPECT_EQ(job.race, "race.ini");
             EXPECT_EQ(job.ini, "x.ini");
         }},
        {{"list", "--track", "ALPINE", "--type", "SR", "--since", "2026-03-01", "--csv", "--racer",
          "Ann", "--ini", "x.ini"},
         &ra_list_command,
         [](const ra_invocation &inv) {
             const ra_list_job &job = job_of<ra_list_job>(inv);
             EXPECT_EQ(job.track, "ALPINE");
             EXPECT_EQ(job.type, "SR");
             EXPECT_EQ(job.since, "2026-03-01");
             EXPECT_TRUE(job.csv);
             EXPECT_EQ(job.racer, "Ann");
             EXPECT_EQ(job.newest, 0u);
             EXPECT_EQ(job.ini, "x.ini");
         }},
        // A replay named on the command line is restored without a question.
        {{"restore", "a.rp4", "--to", "Replays\\replay.rp4", "--ini", "x.ini"},
         &ra_restore_command,
         [](const ra_invocation &inv) {
             const ra_restore_job &job = job_of<ra_restore_job>(inv);
             EXPECT_FALSE(inv.dropped);
             EXPECT_EQ(job.file, "a.rp4");
             EXPECT_EQ(job.to, "Replays\\replay.rp4");
             EXPECT_EQ(job.ini, "x.ini");
         }},
        {{"prune", "--keep", "3", "--max-size", "2GB", "--older-than", "30", "--apply", "--ini",
          "x.ini"},
         &ra_prune_command,
         [](const ra_invocation &inv) {
             const ra_prune_job &job = job_of<ra_prune_job>(inv);
             EXPECT_EQ(job.keep, "3");
             EXPECT_EQ(job.max_size, "2GB");
             EXPECT_EQ(job.older_than, "30");
             EXPECT_TRUE(job.apply);
             EXPECT_EQ(job.ini, "x.ini");
         }},
        // keep and unkeep: one job, the mark set or taken away.
        {{"keep", "a.rp4", "--ini", "x.ini"},
         &ra_keep_command,
         [](const ra_invocation &inv) {
             const ra_keep_job &job = job_of<ra_keep_job>(inv);
             EXPECT_TRUE(job.keep);
             EXPECT_EQ(job.file, "a.rp4");
             EXPECT_EQ(job.ini, "x.ini");
         }},
        {{"unkeep", "a.rp4", "--ini", "x.ini"},
         &ra_unkeep_command,
         [](const ra_invocation &inv) {
             const ra_keep_job &job = job_of<ra_keep_job>(inv);
             EXPECT_FALSE(job.keep);
             EXPECT_EQ(job.file, "a.rp4");
             EXPECT_EQ(job.ini, "x.ini");
         }},
        {{"page", "--out", "library.html", "--open", "--ini", "x.ini"},
         &ra_page_command,
         [](const ra_invocation &inv) {
             const ra_page_job &job = job_of<ra_page_job>(inv);
             EXPECT_EQ(job.out, "library.html");
             EXPECT_TRUE(job.open);
             EXPECT_EQ(job.ini, "x.ini");
         }},
        {{"repair", "--apply", "--ini", "x.ini"},
         &ra_repair_command,
         [](const ra_invocation &inv) {
             const ra_repair_job &job = job_of<ra_repair_job>(inv);
             EXPECT_TRUE(job.apply);
             EXPECT_EQ(job.ini, "x.ini");
         }},
        // The app opens in the browser unless --no-open.
        {{"serve", "--port", "8080", "--no-open", "--ini", "x.ini"},
         &ra_serve_command,
         [](const ra_invocation &inv) {
             const ra_serve_job &job = job_of<ra_serve_job>(inv);
             EXPECT_EQ(job.port, "8080");
             EXPECT_FALSE(job.open);
             EXPECT_EQ(job.ini, "x.ini");
         }},
        {{"serve"},
         &ra_serve_command,
         [](const ra_invocation &inv) { EXPECT_TRUE(job_of<ra_serve_job>(inv).open); }},
        // share takes several replays.
        {{"share", "a.rp4", "b.rp4", "-o", "out.rpshare", "--hide-names", "--ini", "x.ini"},
         &ra_share_command,
         [](const ra_invocation &inv) {
             const ra_share_job &job = job_of<ra_share_job>(inv);
             EXPECT_EQ(job.files, (std::vector<std::string>{"a.rp4", "b.rp4"}));
             EXPECT_EQ(job.out, "out.rpshare");
             EXPECT_TRUE(job.hide_names);
             EXPECT_EQ(job.ini, "x.ini");
         }},
        {{"card", "-o", "me.rpcard"},
         &ra_card_command,
         [](const ra_invocation &inv) { EXPECT_EQ(job_of<ra_card_job>(inv).out, "me.rpcard"); }},
        {{"import", "ann.rpshare"},
         &ra_import_command,
         [](const ra_invocation &inv) {
             EXPECT_EQ(job_of<ra_import_job>(inv).file, "ann.rpshare");
         }},
        {{"leaderboard", "--track", "alpine", "--type", "SR"},
         &ra_leaderboard_command,
         [](const ra_invocation &inv) {
             const ra_leaderboard_job &job = job_of<ra_leaderboard_job>(inv);
             EXPECT_EQ(job.track, "alpine");
             EXPECT_EQ(job.type, "SR");
         }},
        // alias without NEW takes the alias away.
        {{"alias", "Ann"},
         &ra_alias_command,
         [](const ra_invocation &inv) {
             const ra_alias_job &job = job_of<ra_alias_job>(inv);
             EXPECT_EQ(job.old_name, "Ann");
             EXPECT_EQ(job.new_name, "");
         }},
        {{"remove", "Friends\\Ann\\a.rp4"},
         &ra_remove_command,
         [](const ra_invocation &inv) {
             EXPECT_EQ(job_of<ra_remove_job>(inv).file, "Friends\\Ann\\a.rp4");
         }},
    };
    std::vector<const ra_command *> covered;
    for (const command_line &line : lines) {
        ra_invocation inv = ra_parse_invocation(line.args);
        EXPECT_EQ(inv.action, ra_action::run_command) << line.args[0] << ": " << inv.text;
        EXPECT_EQ(inv.command, line.command) << line.args[0];
        line.expect(inv);
        covered.push_back(line.command);
    }
    // A command added to the table gets a line here.
    for (const ra_command *command : ra_commands) {
        EXPECT_NE(std::find(covered.begin(), covered.end(), command), covered.end())
            << command->name << " has no command line in this test";
    }
}

TEST(Invocation, CheckTakesItsFileOnItsOwnOrWithIni) {
    ra_invocation inv = ra_parse_invocation({"check", "-q", "--race", "race.ini", "mine.ini"});
    EXPECT_EQ(inv.command, &ra_check_command);
    EXPECT_EQ(job_of<ra_check_job>(inv).ini, "mine.ini");
    // --ini, as every other command takes it; never two files.
    inv = ra_parse_invocation({"check", "--ini", "mine.ini", "-q"});
    EXPECT_EQ(job_of<ra_check_job>(inv).ini, "mine.ini");
    inv = ra_parse_invocation({"check", "--ini", "mine.ini", "other.ini"});
    EXPECT_EQ(inv.action, ra_action::usage_error);
    EXPECT_NE(inv.text.find("more than one settings file"), std::string::npos) << inv.text;
    // Its own usage, for its help and after its own messages.
    inv = ra_parse_invocation({"check", "--help"});
    EXPECT_EQ(inv.action, ra_action::show_text);
    EXPECT_EQ(inv.text.rfind("usage: replay-autosave check [--quiet]", 0), 0u) << inv.text;
    inv = ra_parse_invocation({"check", "--bogus"});
    EXPECT_EQ(inv.action, ra_action::usage_error);
    EXPECT_EQ(inv.text.rfind("replay-autosave: unknown option --bogus\nusage: ", 0), 0u)
        << inv.text;
}

TEST(Invocation, WrongCommandLinesSayWhatIsWrong) {
    struct wrong_line {
        std::vector<std::string> args;
        const char *said;  // the start of the text
    };
    const wrong_line lines[] = {
        // Never restore, or any command, by default.
        {{"play", "a.rp4"},
         "replay-autosave: unknown command play; the commands are check, list, restore, prune, "
         "keep, unkeep, page, repair, serve, share, card, import, leaderboard, alias and "
         "remove\nRun "
         "\"replay-autosave --help\""},
        {{"restore"}, "replay-autosave: FILE is required\nRun \"replay-autosave restore --help\""},
        {{"restore", ""}, "replay-autosave: restore needs a replay"},
        {{"keep", ""},
         "replay-autosave: keep needs a replay: a name that \"replay-autosave list\" shows\n"
         "Run \"replay-autosave keep --help\""},
        {{"unkeep", ""}, "replay-autosave: unkeep needs a replay"},
        {{"serve", "--port"},
         "replay-autosave: --port: 1 required N missing\n"
         "Run \"replay-autosave serve --help\""},
        {{"list", "--track", "A", "--track", "B"},
         "replay-autosave: --track is given more than once; give each option once"},
        {{"prune", "--keep=3", "--apply", "--keep", "4"}, "replay-autosave: --keep is given more"},
        {{"prune", "--apply", "--apply", "--keep", "1"}, "replay-autosave: --apply is given more"},
    };
    for (const wrong_line &line : lines) {
        ra_invocation inv = ra_parse_invocation(line.args);
        EXPECT_EQ(inv.action, ra_action::usage_error) << line.args[0];
        EXPECT_EQ(inv.text.rfind(line.said, 0), 0u) << inv.text;
    }

    ra_invocation inv = ra_parse_invocation({"--version"});
    EXPECT_EQ(inv.action, ra_action::show_text);
    EXPECT_EQ(inv.text, std::string("replay-autosave ") + ra_version + "\n");
    inv = ra_parse_invocation({"--help"});
    EXPECT_EQ(inv.action, ra_action::show_text);
    EXPECT_NE(inv.text.find("restore"), std::string::npos) << inv.text;
}
