// How the program is started decides its job: a double click, a file
// dropped on the Windows program, or a command line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "program/invocation.h"

TEST(Invocation, DoubleClickAndDroppedFiles) {
    // No argument: check the INI beside the program, then the ten newest.
    ra_invocation inv = ra_parse_invocation({});
    EXPECT_EQ(inv.job, ra_job::check_and_list);
    EXPECT_TRUE(inv.dropped);
    EXPECT_EQ(inv.check.ini, "");
    EXPECT_EQ(inv.list.ini, "");
    EXPECT_EQ(inv.list.newest, 10u);

    // A replay, in any letter case: restored after the player says so.
    inv = ra_parse_invocation({"C:\\Games\\Racer\\SaveData\\Saves\\2026-03-07_SR.RP4"});
    EXPECT_EQ(inv.job, ra_job::restore);
    EXPECT_TRUE(inv.dropped);
    EXPECT_EQ(inv.restore.file, "C:\\Games\\Racer\\SaveData\\Saves\\2026-03-07_SR.RP4");
    EXPECT_EQ(inv.restore.to, "");

    // A settings file: checked.
    inv = ra_parse_invocation({"D:\\backup\\replay_autosave.ini"});
    EXPECT_EQ(inv.job, ra_job::check);
    EXPECT_EQ(inv.check.ini, "D:\\backup\\replay_autosave.ini");

    // Anything else dropped, or several files, is no job.
    for (const std::vector<std::string> &args :
         std::vector<std::vector<std::string>>{{"notes.txt"}, {"a.rp4", "b.rp4"}}) {
        inv = ra_parse_invocation(args);
        EXPECT_EQ(inv.job, ra_job::usage_error) << args[0];
        EXPECT_FALSE(inv.text.empty());
    }
    // A folder, the record file or two files: one sentence says what can be dropped.
    for (const std::vector<std::string> &args :
         std::vector<std::vector<std::string>>{{"C:\\Games\\Racer\\SaveData\\Saves"},
                                               {"C:\\Games\\Racer\\SaveData\\Saves\\replays.csv"},
                                               {"C:\\Saves\\a.rp4", "C:\\Saves\\b.rp4"}}) {
        inv = ra_parse_invocation(args);
        EXPECT_EQ(inv.job, ra_job::usage_error) << args[0];
        EXPECT_TRUE(inv.dropped) << args[0];
        EXPECT_EQ(inv.text,
                  "replay-autosave takes one dropped file: a replay (.rp4), which the game then "
                  "plays, or a replay_autosave.ini, which it checks; folders, replays.csv and "
                  "several files at once cannot be dropped.\n");
    }
}

TEST(Invocation, CommandLines) {
    ra_invocation inv = ra_parse_invocation(
        {"list", "--track", "ALPINE", "--type", "SR", "--since", "2026-03-01", "--csv"});
    EXPECT_EQ(inv.job, ra_job::list);
    EXPECT_FALSE(inv.dropped);
    EXPECT_EQ(inv.list.track, "ALPINE");
    EXPECT_EQ(inv.list.type, "SR");
    EXPECT_EQ(inv.list.since, "2026-03-01");
    EXPECT_TRUE(inv.list.csv);
    EXPECT_EQ(inv.list.newest, 0u);

    // A replay named on the command line is restored without a question.
    inv =
        ra_parse_invocation({"restore", "a.rp4", "--to", "Replays\\replay.rp4", "--ini", "x.ini"});
    EXPECT_EQ(inv.job, ra_job::restore);
    EXPECT_FALSE(inv.dropped);
    EXPECT_EQ(inv.restore.file, "a.rp4");
    EXPECT_EQ(inv.restore.to, "Replays\\replay.rp4");
    EXPECT_EQ(inv.restore.ini, "x.ini");

    inv = ra_parse_invocation({"check", "-q", "--race", "race.ini", "mine.ini"});
    EXPECT_EQ(inv.job, ra_job::check);
    EXPECT_TRUE(inv.check.quiet);
    EXPECT_EQ(inv.check.race, "race.ini");
    EXPECT_EQ(inv.check.ini, "mine.ini");
    // --ini, as every other command takes it; never two files.
    inv = ra_parse_invocation({"check", "--ini", "mine.ini", "-q"});
    EXPECT_EQ(inv.job, ra_job::check);
    EXPECT_EQ(inv.check.ini, "mine.ini");
    inv = ra_parse_invocation({"check", "--ini", "mine.ini", "other.ini"});
    EXPECT_EQ(inv.job, ra_job::usage_error);
    EXPECT_NE(inv.text.find("more than one settings file"), std::string::npos) << inv.text;

    inv = ra_parse_invocation({"page", "--out", "library.html", "--open"});
    EXPECT_EQ(inv.job, ra_job::page);
    EXPECT_EQ(inv.page.out, "library.html");
    EXPECT_TRUE(inv.page.open);

    // Wrong ones say what is wrong.
    inv = ra_parse_invocation({"restore"});
    EXPECT_EQ(inv.job, ra_job::usage_error);
    EXPECT_NE(inv.text.find("FILE is required"), std::string::npos) << inv.text;
    inv = ra_parse_invocation({"play", "a.rp4"});
    EXPECT_EQ(inv.job, ra_job::usage_error);
    EXPECT_NE(inv.text.find("unknown command play"), std::string::npos) << inv.text;
    inv = ra_parse_invocation({"restore", ""});
    EXPECT_EQ(inv.job, ra_job::usage_error);
    EXPECT_NE(inv.text.find("restore needs a replay"), std::string::npos) << inv.text;
    for (auto twice :
         std::vector<std::vector<std::string>>{{"list", "--track", "A", "--track", "B"},
                                               {"prune", "--keep=3", "--apply", "--keep", "4"},
                                               {"prune", "--apply", "--apply", "--keep", "1"}}) {
        inv = ra_parse_invocation(twice);
        EXPECT_EQ(inv.job, ra_job::usage_error);
        EXPECT_NE(inv.text.find(" is given more than once; give each option once"),
                  std::string::npos)
            << inv.text;
    }
    inv = ra_parse_invocation({"--version"});
    EXPECT_EQ(inv.job, ra_job::show_text);
    EXPECT_EQ(inv.text, std::string("replay-autosave ") + ra_version + "\n");
    inv = ra_parse_invocation({"--help"});
    EXPECT_EQ(inv.job, ra_job::show_text);
    EXPECT_NE(inv.text.find("restore"), std::string::npos) << inv.text;
}
