// repair: a record file a spreadsheet changed is written back as the
// plug-in writes it, the old one kept under a free name, nothing lost that
// could be read; a dry run changes nothing.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "companion_fixture.h"
#include "jobs/job_repair.h"
#include "plugin_state.h"
#include "library/record/record_reader.h"

namespace {

class Repair : public ::testing::Test {
protected:
    void SetUp() override {
        ra_test_reset_plugin();
        game_ = ra_test_scratch_dir();
        saves_ = game_ + "/Saves";
        ASSERT_EQ(system(("mkdir -p '" + saves_ + "'").c_str()), 0);
        ASSERT_TRUE(
            ra_test_write_file(game_ + "/replay_autosave.ini", "[ReplayAutosave]\nDir = Saves\n"));
    }
    void TearDown() override { ra_test_reset_plugin(); }

    int repair(bool apply) {
        ra_test_reset_plugin();
        out_ = ra_output();
        ra_repair_job job;
        job.ini = game_ + "/replay_autosave.ini";
        job.apply = apply;
        return ra_run_repair(job, &out_);
    }
    std::string record(void) { return ra_test_read_file(saves_ + "/replays.csv"); }
    bool exists(const std::string &name) {
        return access((saves_ + "/" + name).c_str(), F_OK) == 0;
    }

    std::string game_, saves_;
    ra_output out_;
};

const std::string data = std::string(RA_TEST_DATA) + "/spreadsheet/";

// A record the plug-in wrote before its last column, the replay's digest,
// as the plug-in's form has it now: that column, empty, on every line.
std::string with_empty_digest(const std::string &record) {
    std::string out;
    for (size_t at = 0, end; at < record.size(); at = end + 2) {
        end = record.find("\r\n", at);
        out += record.substr(at, end - at) + (at == 0 ? ",replay_md5" : ",") + "\r\n";
    }
    return out;
}

}  // namespace

TEST_F(Repair, WritesTheFileBackInThePluginsForm) {
    const std::string season = with_empty_digest(ra_test_read_file(data + "season.csv"));
    // A spreadsheet's versions that keep every value come back byte for byte.
    for (const char *form : {"semicolon.csv", "tab.csv"}) {
        SCOPED_TRACE(form);
        const std::string sheet = ra_test_read_file(data + form);
        ASSERT_TRUE(ra_test_write_file(saves_ + "/replays.csv", sheet));
        system(("rm -f '" + saves_ + "'/replays.csv.*").c_str());
        // A dry run says what it would do and changes nothing.
        EXPECT_EQ(repair(false), ra_exit_ok) << out_.err;
        EXPECT_NE(out_.out.find("6 lines written in the plug-in's form"), std::string::npos)
            << out_.out;
        EXPECT_NE(out_.out.find("Nothing changed"), std::string::npos) << out_.out;
        EXPECT_EQ(record(), sheet);
        EXPECT_FALSE(exists("replays.csv.bak"));

        EXPECT_EQ(repair(true), ra_exit_ok) << out_.err;
        EXPECT_EQ(record(), season);
        EXPECT_EQ(ra_test_read_file(saves_ + "/replays.csv.bak"), sheet);
        EXPECT_FALSE(exists("replays.csv.repair"));
        EXPECT_EQ(repair(true), ra_exit_ok);
        EXPECT_NE(out_.out.find("in the plug-in's form already"), std::string::npos) << out_.out;
    }

    // Dates back as the plug-in writes them; an older backup is never replaced.
    ASSERT_TRUE(
        ra_test_write_file(saves_ + "/replays.csv", ra_test_read_file(data + "us_dates.csv")));
    ASSERT_TRUE(ra_test_write_file(saves_ + "/replays.csv.bak", "older"));
    EXPECT_EQ(repair(true), ra_exit_ok) << out_.err;
    EXPECT_EQ(ra_test_read_file(saves_ + "/replays.csv.bak"), "older");
    EXPECT_EQ(ra_test_read_file(saves_ + "/replays.csv.1.bak"),
              ra_test_read_file(data + "us_dates.csv"));
    ra_records records;
    ra_parse_records(record(), "replays.csv", &records);
    EXPECT_TRUE(records.warnings.empty());
    ASSERT_EQ(records.lines.size(), 6u);
    EXPECT_EQ(records.lines[0].get("saved"), "2026-03-07 21:05:00");
    EXPECT_EQ(records.lines[0].get("name4"), "=HYPERLINK(\"http://x\",\"win\")");
    EXPECT_NE(record().find(",\"'=HYPERLINK(\"\"http://x\"\",\"\"win\"\")\","), std::string::npos);
}

TEST_F(Repair, KeepsEveryLineItCanReadAndSaysWhichItCannot) {
    const std::string good =
        ra_test_record_line({{"file", "a.rp4"}, {"saved", "2026-03-07 21:05:09"}});
    const std::string text = "file,saved\r\n" + std::string("b.rp4,2026-03-06 10:00:00\r\n") +
                             "\"Speedy,2026-03-06 11:00:00\r\n" + good;
    ASSERT_TRUE(ra_test_write_file(saves_ + "/replays.csv", text));
    EXPECT_EQ(repair(true), ra_exit_ok) << out_.err;
    EXPECT_NE(out_.out.find("1 line that cannot be read left out (line 3)"), std::string::npos)
        << out_.out;
    ra_records records;
    ra_parse_records(record(), "replays.csv", &records);
    ASSERT_EQ(records.lines.size(), 2u);
    EXPECT_EQ(records.lines[0].file, "b.rp4");
    EXPECT_EQ(records.lines[1].file, "a.rp4");
    EXPECT_EQ(record(),
              ra_test_record_header() +
                  ra_test_record_line({{"file", "b.rp4"}, {"saved", "2026-03-06 10:00:00"}}) +
                  good);

    // A file of the plug-in's own is left alone, and no backup is made.
    system(("rm -f '" + saves_ + "'/replays.csv.*").c_str());
    EXPECT_EQ(repair(true), ra_exit_ok);
    EXPECT_FALSE(exists("replays.csv.bak"));

    // Nothing to repair from: a failure that says so.
    ASSERT_EQ(remove((saves_ + "/replays.csv").c_str()), 0);
    EXPECT_EQ(repair(true), ra_exit_failed);
    EXPECT_NE(out_.err.find("there is no"), std::string::npos) << out_.err;
}

TEST_F(Repair, WritesASpreadsheetsUtf8BackInTheGamesCodePage) {
    // A spreadsheet saved the record as UTF-8 after its mark: the plug-in
    // writes Windows-1252 here, and reads what repair writes.
    auto line = [](const char *track) {
        return ra_test_record_line(
            {{"file", "a.rp4"}, {"saved", "2026-03-07 21:05:09"}, {"track", track}});
    };
    ASSERT_TRUE(ra_test_write_file(
        saves_ + "/replays.csv",
        "\xEF\xBB\xBF" + ra_test_record_header() + line("C\xC5\x93UR FOR\xC3\xAAT")));
    EXPECT_EQ(repair(true), ra_exit_ok) << out_.err;
    EXPECT_EQ(record(), ra_test_record_header() + line("C\x9cUR FOR\xeaT"));
    // A letter the code page lacks would be lost: nothing changes.
    const std::string polish = "\xEF\xBB\xBF" + ra_test_record_header() +
                               line(
                                   "\xC5\x81\xC3\xB3"
                                   "d\xC5\xBA");
    ASSERT_TRUE(ra_test_write_file(saves_ + "/replays.csv", polish));
    EXPECT_EQ(repair(true), ra_exit_failed);
    EXPECT_NE(out_.err.find("line 2 of "), std::string::npos) << out_.err;
    EXPECT_NE(out_.err.find("cannot spell"), std::string::npos) << out_.err;
    EXPECT_EQ(record(), polish);
}
