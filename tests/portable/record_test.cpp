// The record line at its limits, and a record write that stops short. The
// whole record as players get it is followed through the simulated game in
// tests/i386/record_e2e_test.cpp.
#include <gtest/gtest.h>
#include <stddef.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "autosave/autosave.h"
#include "plugin_state.h"
#include "settings/settings.h"
#include "sim_win32.h"
#include "naming/tokens.h"
#include "test_host.h"

namespace {

// The fields of one CSV line as RFC 4180 reads them; the line's CR LF is
// not part of its last field.
std::vector<std::string> csv_fields(const std::string &line) {
    std::vector<std::string> fields(1);
    const std::string body = line.substr(0, line.size() - 2);
    bool quoted = false;
    for (size_t i = 0; i < body.size(); ++i) {
        char c = body[i];
        if (quoted && c == '"' && i + 1 < body.size() && body[i + 1] == '"') {
            fields.back() += '"';
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

void fill_text(char *field, size_t size, char c) {
    memset(field, c, size - 1);
    field[size - 1] = '\0';
}

}  // namespace

TEST(RecordLine, LongestValuesAreWrittenWhole) {
    // Every text at its longest and all quotes, every number at its largest.
    ra_ctx ctx;
    memset(&ctx, 0xFF, sizeof ctx);
    fill_text(ctx.type, sizeof ctx.type, '"');
    fill_text(ctx.track, sizeof ctx.track, '"');
    fill_text(ctx.md5_tr, sizeof ctx.md5_tr, '"');
    fill_text(ctx.md5_trn, sizeof ctx.md5_trn, '"');
    for (char *name : ctx.names) fill_text(name, RA_NAME_SIZE, '"');
    const std::string path(RA_PATH_SIZE - 1, '"');

    char buf[RA_RECORD_BUF];
    uint32_t fill = 0;
    ra_record_header(buf, &fill);
    const uint32_t header_len = fill;
    // A digest longer than any is cut to its 32 digits.
    const std::string digest(40, 'f');
    ra_record_line(buf, &fill, &ctx, path.c_str(), path.c_str(), digest.c_str());
    ASSERT_LE(fill, RA_RECORD_BUF);
    const std::string header(buf, header_len), line(buf + header_len, fill - header_len);

    const std::vector<std::string> names = csv_fields(header), values = csv_fields(line);
    ASSERT_EQ(names.size(), 88u);
    ASSERT_EQ(values.size(), names.size());
    EXPECT_EQ(line.substr(line.size() - 2), "\r\n");
    for (size_t i = 0; i < names.size(); ++i) {
        const std::string &n = names[i], &v = values[i];
        if (n == "file" || n == "source") {
            EXPECT_EQ(v, path) << n;
        } else if (n == "type") {
            EXPECT_EQ(v, std::string(sizeof ctx.type - 1, '"'));
        } else if (n == "track") {
            EXPECT_EQ(v, std::string(sizeof ctx.track - 1, '"'));
        } else if (n == "replay_md5") {
            EXPECT_EQ(v, std::string(32, 'f'));
        } else if (n.find("md5") != std::string::npos) {
            EXPECT_EQ(v, std::string(sizeof ctx.md5_tr - 1, '"')) << n;
        } else if (n.compare(0, 4, "name") == 0) {
            EXPECT_EQ(v, std::string(RA_NAME_SIZE - 1, '"')) << n;
        } else if (n == "saved" || n == "started") {
            // Two digits each of 4294967295 / 100 and 4294967295.
            EXPECT_EQ(v, "7295-95-95 95:95:95") << n;
        } else if (n == "seed") {
            EXPECT_EQ(v, "FFFFFFFF");
        } else if (n.find("time") != std::string::npos || n.find("best_lap") != std::string::npos) {
            EXPECT_EQ(v, "42949672.95") << n;
        } else if (n == "weather" || n == "night" || n == "direction" || n == "mirror") {
            EXPECT_TRUE(v == "WET" || v == "NIGHT" || v == "REVERSE" || v == "MIRRORED") << n;
        } else {
            EXPECT_EQ(v, "4294967295") << n;
        }
    }
}

TEST(RecordLine, TextKeepsItsLettersAndLosesOnlyControlBytes) {
    ra_ctx ctx;
    memset(&ctx, 0, sizeof ctx);
    // What a file name may not hold stays; control bytes, CR and LF become
    // '_'; letters from 0x80 up are the game's and stay.
    strcpy(ctx.names[0], "a?b:c*d|\xE9");
    strcpy(ctx.names[1], "x\r\ny\tz\x7F");
    strcpy(ctx.names[2], "no, quotes");
    char buf[RA_RECORD_BUF];
    uint32_t fill = 0;
    ra_record_line(buf, &fill, &ctx, "f.rp4", "Replays\\replay.rp4", nullptr);
    const std::vector<std::string> values = csv_fields(std::string(buf, fill));
    ASSERT_EQ(values.size(), 88u);
    EXPECT_EQ(values[22], "a?b:c*d|\xE9");
    EXPECT_EQ(values[23], "x__y_z_");
    EXPECT_EQ(values[24], "no, quotes");
    EXPECT_NE(std::string(buf, fill).find(",\"no, quotes\","), std::string::npos);
}

TEST(RecordLine, NumbersAreWhatTheirTokensGive) {
    // Every word of the context different, so that a column reading the
    // wrong field or writing it another way than its token shows.
    ra_ctx ctx;
    memset(&ctx, 0, sizeof ctx);
    uint32_t *words = (uint32_t *)(void *)&ctx.laps;
    const size_t count = (sizeof ctx - offsetof(ra_ctx, laps)) / sizeof(uint32_t);
    for (size_t i = 0; i < count; ++i) words[i] = (uint32_t)(i * 2654435761u) % 100000u;
    ctx.wet = 1;
    ctx.mirror = 1;
    char buf[RA_RECORD_BUF];
    uint32_t fill = 0;
    ra_record_header(buf, &fill);
    const uint32_t header_len = fill;
    ra_record_line(buf, &fill, &ctx, "f.rp4", "Replays\\replay.rp4", nullptr);
    const std::vector<std::string> names = csv_fields(std::string(buf, header_len));
    const std::vector<std::string> values =
        csv_fields(std::string(buf + header_len, fill - header_len));
    ASSERT_EQ(values.size(), names.size());
    auto token = [&](const std::string &name) {
        char value[256];
        uint32_t n = 0;
        return ra_put_token(value, &n, name.c_str(), &ctx) ? std::string(value, n) : "?";
    };
    auto colons = [](std::string s) {
        for (char &c : s) c = c == '-' ? ':' : c;
        return s;
    };
    int compared = 0;
    for (size_t i = 0; i < names.size(); ++i) {
        const std::string &n = names[i];
        if (n == "saved" || n == "started") {
            const std::string prefix = n == "saved" ? "" : "start_";
            EXPECT_EQ(values[i], token(prefix + "date") + " " + colons(token(prefix + "time")));
        } else if (n == "player") {
            EXPECT_EQ(values[i], std::to_string(ctx.player));
        } else if (n == "replay_md5") {
            EXPECT_EQ(values[i], "");  // no digest given
        } else if (n != "file" && n != "source" && n.compare(0, 4, "name") != 0) {
            EXPECT_EQ(values[i], token(n)) << n;
        }
        ++compared;
    }
    EXPECT_EQ(compared, 88);
    // After the columns older readers know.
    EXPECT_EQ(names[names.size() - 2], "player");
    EXPECT_EQ(names.back(), "replay_md5");
}

// A friend's program checks a line against the replay shared with it by
// this digest: MD5 of the head as given, then the whole size as eight bytes,
// least significant first (values from Python's hashlib).
TEST(ReplayDigest, IsTheHeadAndTheWholeSize) {
    char digest[RA_MD5_TEXT_SIZE];
    ra_replay_digest_of((const uint8_t *)"abc", 3, 3, digest);
    EXPECT_STREQ(digest, "e58e96f6a1864258fc0f25148e81c086");
    ra_replay_digest_of((const uint8_t *)"abc", 3, 7000, digest);
    EXPECT_STREQ(digest, "0ed8c032a6e08913f12ff6d113859419");
}

TEST(RecordLine, FormulaLikeTextIsMarkedAsTextAndNumbersAreNot) {
    ra_ctx ctx;
    memset(&ctx, 0, sizeof ctx);
    // A name as another player chose it, and the field the record writes.
    const struct {
        const char *name, *field;
    } cases[] = {
        {"=HYPERLINK(\"x\")", "\"'=HYPERLINK(\"\"x\"\")\""},
        {"+1", "\"'+1\""},
        {"-2", "\"'-2\""},
        {"@SUM", "\"'@SUM\""},
        {"'Jo", "\"''Jo\""},  // a mark of its own is kept through a reader
        {"\tTab", "_Tab"},    // control bytes become '_' first
        {"\rCR", "_CR"},
        {"a=b", "a=b"},  // only the first character counts
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) strcpy(ctx.names[i], cases[i].name);
    strcpy(ctx.track, "-ALPINE");
    ctx.laps = 3;
    char buf[RA_RECORD_BUF];
    uint32_t fill = 0;
    ra_record_line(buf, &fill, &ctx, "f.rp4", "Replays\\replay.rp4", nullptr);
    const std::string line(buf, fill);
    std::string expected = "\"'-ALPINE\",3,";
    EXPECT_NE(line.find(expected), std::string::npos) << line;
    for (const auto &c : cases) {
        EXPECT_NE(line.find("," + std::string(c.field) + ","), std::string::npos) << c.field;
    }
    // Numbers and words never get the mark.
    EXPECT_EQ(line.find(",'"), std::string::npos) << line;
}

TEST(RecordSave, ShortWriteIsReportedAndTheFileClosed) {
    ra_test_reset_plugin();
    const std::string dir = ra_test_scratch_dir();
    char old_cwd[4096];
    ASSERT_NE(getcwd(old_cwd, sizeof old_cwd), nullptr);
    ASSERT_EQ(chdir(dir.c_str()), 0);
    strcpy(ra_dir, "Saves");
    ASSERT_TRUE(CreateDirectoryA("Saves", nullptr));
    sim_host_reset();
    ra_log = sim_host_log;

    ra_ctx ctx;
    memset(&ctx, 0, sizeof ctx);
    sim_short_write(10);
    ra_record_save(&ctx, "Replays\\replay.rp4", "Saves\\r.rp4", nullptr);
    EXPECT_EQ(sim_host_log_lines,
              std::vector<std::string>{"replay autosave: record not written (112): "
                                       "Saves\\replays.csv"});
    EXPECT_EQ(ra_test_read_file("Saves/replays.csv"), "file,saved");
    EXPECT_EQ(sim_open_handles(), 0u);

    // The next save ends the cut line first, so that its own line is whole.
    ra_record_save(&ctx, "Replays\\replay.rp4", "Saves\\s.rp4", nullptr);
    EXPECT_EQ(ra_test_read_file("Saves/replays.csv").rfind("file,saved\r\ns.rp4,", 0), 0u);
    // A file that ends its last line gets nothing extra.
    ra_record_save(&ctx, "Replays\\replay.rp4", "Saves\\t.rp4", nullptr);
    EXPECT_NE(ra_test_read_file("Saves/replays.csv").find("\r\nt.rp4,"), std::string::npos);
    EXPECT_EQ(ra_test_read_file("Saves/replays.csv").find("\r\n\r\n"), std::string::npos);
    EXPECT_EQ(sim_open_handles(), 0u);

    EXPECT_EQ(chdir(old_cwd), 0);
    ra_test_reset_plugin();
}
