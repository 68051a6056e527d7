// How the program is started decides its job: a double click, a file
// dropped on the Windows program, or a command line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "invocation.h"

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

    // Wrong ones say what is wrong.
    inv = ra_parse_invocation({"restore"});
    EXPECT_EQ(inv.job, ra_job::usage_error);
    EXPECT_NE(inv.text.find("FILE is required"), std::string::npos) << inv.text;
    inv = ra_parse_invocation({"play", "a.rp4"});
    EXPECT_EQ(inv.job, ra_job::usage_error);
    EXPECT_NE(inv.text.find("unknown command play"), std::string::npos) << inv.text;
    inv = ra_parse_invocation({"--help"});
    EXPECT_EQ(inv.job, ra_job::show_text);
    EXPECT_NE(inv.text.find("restore"), std::string::npos) << inv.text;
}
