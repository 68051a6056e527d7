#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include <string>

#include "naming/naming.h"
#include "settings/settings.h"

namespace {

// The invented race of the worked examples: SR on MYTRACK, 3 laps, saved
// on 7 March 2026 at 21:05:09.
ra_ctx race() {
    ra_ctx ctx;
    memset(&ctx, 0, sizeof ctx);
    strcpy(ctx.type, "SR");
    strcpy(ctx.track, "MYTRACK");
    ctx.laps = 3;
    ctx.cars = 8;
    ctx.year = 2026;
    ctx.month = 3;
    ctx.day = 7;
    ctx.hour = 21;
    ctx.minute = 5;
    ctx.second = 9;
    return ctx;
}

// Expands and checks what every result must be: at most 199 characters, and
// a buffer terminated right after them.
std::string expand(const char *tpl, const ra_ctx &ctx) {
    char out[RA_NAME_BUF];
    memset(out, 0x55, sizeof out);
    EXPECT_EQ(vqra_expand(tpl, &ctx, out), out);
    size_t len = strnlen(out, sizeof out);
    EXPECT_LE(len, (size_t)RA_NAME_MAX);
    return std::string(out, len);
}

std::string expand(const std::string &tpl, const ra_ctx &ctx) { return expand(tpl.c_str(), ctx); }

}  // namespace

TEST(Expand, WorkedExamples) {
    ra_ctx ctx = race();
    EXPECT_EQ(expand(ra_default_tpl, ctx), "2026-03-07_21-05-09_SR_MYTRACK_3L");

    ctx.best_lap[0] = 8345;
    strcpy(ctx.names[0], "Racer?1");
    EXPECT_EQ(expand("%track%_%best_lap_car1%s_%name1%", ctx), "MYTRACK_83.45s_Racer_1");
}

TEST(Expand, PercentSignsPairIntoTokensLeftToRight) {
    ra_ctx ctx = race();
    // Two tokens back to back; the closing '%' never opens a new token.
    EXPECT_EQ(expand("%laps%%cars%", ctx), "38");
    EXPECT_EQ(expand("%laps%cars%", ctx), "3cars%");
    // A '%' without a partner is text, with everything after it.
    EXPECT_EQ(expand("%", ctx), "%");
    EXPECT_EQ(expand("100%", ctx), "100%");
    EXPECT_EQ(expand("%laps", ctx), "%laps");
    // An empty name is no escape for '%': written back as it stands.
    EXPECT_EQ(expand("%%", ctx), "%%");
    EXPECT_EQ(expand("%%%laps%", ctx), "%%3");
    // Keys are case-sensitive.
    EXPECT_EQ(expand("%Type%_%TRACK%", ctx), "%Type%_%TRACK%");
}

TEST(Expand, NumberedTokensSelectOnlyEntriesOneToSixteen) {
    ra_ctx ctx = race();
    for (int i = 0; i < RA_CARS; ++i) {
        snprintf(ctx.names[i], RA_NAME_SIZE, "R%d", i + 1);
        ctx.best_lap[i] = 100u * (uint32_t)(i + 1);
        ctx.total_time[i] = 1000u * (uint32_t)(i + 1) + 1;
        ctx.max_speed[i] = 200u + (uint32_t)i;
    }
    EXPECT_EQ(expand("%name1%_%name16%", ctx), "R1_R16");
    EXPECT_EQ(expand("%best_lap_car1%_%best_lap_car16%", ctx), "1.00_16.00");
    EXPECT_EQ(expand("%total_time_car2%_%total_time_car16%", ctx), "20.01_160.01");
    EXPECT_EQ(expand("%max_speed_car1%_%max_speed_car16%", ctx), "200_215");
    // Leading zeros are allowed.
    EXPECT_EQ(expand("%name01%_%max_speed_car0003%", ctx), "R1_202");
    EXPECT_EQ(expand("%name00000000000000001%", ctx), "R1");

    // Out of range, no number, or trailing junk: written back unchanged.
    for (const char *tok :
         {"%name0%", "%name17%", "%name%", "%name1x%", "%namex1%", "%best_lap_car%",
          "%best_lap_car0%", "%total_time_car17%", "%max_speed_car-1%", "%max_speed_car+1%",
          "%name 1%", "%best_lap_car1 %"}) {
        EXPECT_EQ(expand(tok, ctx), tok) << tok;
    }
    // Numbers past 32 bits never wrap onto an entry: 2^32 + 1 and 2^32 + 16
    // would select entries 1 and 16 if they wrapped.
    for (const char *tok : {"%name4294967297%", "%name4294967312%", "%best_lap_car4294967297%",
                            "%max_speed_car4294967297%"}) {
        EXPECT_EQ(expand(tok, ctx), tok) << tok;
    }
}

TEST(Expand, LongTokenNamesAreCutTo23Characters) {
    ra_ctx ctx = race();
    // 30 characters matching nothing: written back cut to its first 23, and
    // scanning goes on after its real closing '%'.
    EXPECT_EQ(expand("%abcdefghijklmnopqrstuvwxyz0123%_%laps%", ctx),
              "%abcdefghijklmnopqrstuvw%_3");
    // Matching sees only the first 23 characters too.
    strcpy(ctx.names[0], "First");
    EXPECT_EQ(expand("%name0000000000000000001junk%", ctx), "First");
}

TEST(Expand, FieldFormats) {
    ra_ctx ctx = race();
    // Seed: always eight upper-case hex digits.
    ctx.seed = 0x2A;
    EXPECT_EQ(expand("%seed%", ctx), "0000002A");
    ctx.seed = 0xDEADBEEF;
    EXPECT_EQ(expand("%seed%", ctx), "DEADBEEF");
    // Dates and times: two digits per field, the year as four.
    ctx.year = 987;
    ctx.month = 3;
    ctx.day = 31;
    ctx.hour = 0;
    ctx.minute = 0;
    ctx.second = 59;
    EXPECT_EQ(expand("%date%_%time%", ctx), "0987-03-31_00-00-59");
    // Seconds and hundredths, no minutes.
    const struct {
        uint32_t hundredths;
        const char *text;
    } laps[] = {{5, "0.05"},     {0, "0.00"},     {12, "0.12"},
                {6005, "60.05"}, {8345, "83.45"}, {4294967295u, "42949672.95"}};
    for (const auto &c : laps) {
        ctx.best_lap[0] = c.hundredths;
        EXPECT_EQ(expand("%best_lap_car1%", ctx), c.text) << c.hundredths;
    }
    // Decimal: no sign and no leading zeros, 0 as one digit.
    ctx.laps = 0;
    ctx.cops = 4294967295u;
    EXPECT_EQ(expand("%laps%_%cops%", ctx), "0_4294967295");
}

TEST(Expand, EveryKeyReadsItsOwnField) {
    ra_ctx ctx;
    memset(&ctx, 0, sizeof ctx);
    strcpy(ctx.type, "MT");
    strcpy(ctx.track, "TRK");
    strcpy(ctx.md5_tr, "0123456789abcdef0123456789abcdef");
    strcpy(ctx.md5_trn, "fedcba9876543210fedcba9876543210");
    ctx.laps = 1;
    ctx.start_pos = 2;
    ctx.count = 3;
    ctx.cars = 4;
    ctx.cops = 5;
    ctx.traffic = 6;
    ctx.tier = 7;
    ctx.circ = 8;
    ctx.index = 9;
    ctx.seed = 0x1234ABCD;
    ctx.year = 2001;
    ctx.month = 2;
    ctx.day = 3;
    ctx.hour = 4;
    ctx.minute = 5;
    ctx.second = 6;
    ctx.start_year = 1999;
    ctx.start_month = 12;
    ctx.start_day = 30;
    ctx.start_hour = 23;
    ctx.start_minute = 58;
    ctx.start_second = 57;
    ctx.total_time[4] = 12345;
    ctx.max_speed[4] = 321;
    EXPECT_EQ(expand("%type% %track% %laps% %start_pos% %count% %cars% %cops% %traffic% "
                     "%tier% %circ% %index% %seed%",
                     ctx),
              "MT TRK 1 2 3 4 5 6 7 8 9 1234ABCD");
    EXPECT_EQ(expand("%track_tr_md5%_%track_trn_md5%", ctx),
              "0123456789abcdef0123456789abcdef_fedcba9876543210fedcba9876543210");
    EXPECT_EQ(expand("%date%_%time%_%start_date%_%start_time%", ctx),
              "2001-02-03_04-05-06_1999-12-30_23-58-57");
    EXPECT_EQ(expand("%total_time_car5%_%max_speed_car5%", ctx), "123.45_321");

    // Each flag both ways.
    const char *flags = "%weather% %night% %direction% %dir% %mirror%";
    EXPECT_EQ(expand(flags, ctx), "DRY DAY NORMAL FORWARD NORMAL");
    ctx.wet = ctx.night = ctx.reverse = ctx.mirror = 1;
    EXPECT_EQ(expand(flags, ctx), "WET NIGHT REVERSE BACK MIRRORED");
    // Empty fields expand to nothing.
    memset(&ctx, 0, sizeof ctx);
    EXPECT_EQ(expand("[%type%%track%%name3%%track_tr_md5%]", ctx), "[]");
}

TEST(Expand, BoundAndTrailingTrim) {
    ra_ctx ctx = race();
    // The 199-character bound cuts a date after its first digits; the rest
    // of the template still adds nothing.
    std::string tpl = std::string(195, 'a') + "%date%tail";
    EXPECT_EQ(expand(tpl, ctx), std::string(195, 'a') + "2026");
    // A written-back token is cut by the bound just the same.
    tpl = std::string(197, 'a') + "%unknown%";
    EXPECT_EQ(expand(tpl, ctx), std::string(197, 'a') + "%u");
    // The trim runs on what the bound kept, after the filter: '?' became '_'
    // and stays, the dot after it goes; "%laps%" no longer fitted.
    tpl = std::string(197, 'x') + "?.%laps%";
    EXPECT_EQ(expand(tpl, ctx), std::string(197, 'x') + "_");
    tpl = std::string(198, 'x') + " .";
    EXPECT_EQ(expand(tpl, ctx), std::string(198, 'x'));

    // Empty results.
    EXPECT_EQ(expand("", ctx), "");
    EXPECT_EQ(expand(". . ..  ", ctx), "");
    EXPECT_EQ(expand("%name1%%track_trn_md5%", ctx), "");
    // Only trailing dots and spaces go.
    EXPECT_EQ(expand("%track%. .", ctx), "MYTRACK");
    EXPECT_EQ(expand(" .a. ", ctx), " .a");
    // An unknown race type is two unsafe characters.
    strcpy(ctx.type, "??");
    EXPECT_EQ(expand("%type%", ctx), "__");
}

TEST(Expand, UnsafeBytesBecomeUnderscoreWhereverTheyComeFrom) {
    ra_ctx ctx = race();
    for (unsigned b = 1; b < 256; ++b) {
        const char c = (char)b;
        const std::string keep = vqra_char_ok(b) ? std::string(1, c) : "_";
        // Literal template text.
        EXPECT_EQ(expand(std::string("a") + c + "b", ctx), "a" + keep + "b") << b;
        // Racer name and track from the record.
        ctx.names[0][0] = 'n';
        ctx.names[0][1] = c;
        ctx.names[0][2] = 'n';
        ctx.track[0] = c;
        ctx.track[1] = 't';
        ctx.track[2] = '\0';
        EXPECT_EQ(expand("%name1%=%track%", ctx), "n" + keep + "n=" + keep + "t") << b;
        // A written-back token ('%' itself would end it).
        if (c != '%') {
            EXPECT_EQ(expand(std::string("%x") + c + "%", ctx), "%x" + keep + "%") << b;
        }
    }
    // The classes by name.
    for (unsigned b : {0x22u, 0x2Au, 0x2Fu, 0x3Au, 0x3Cu, 0x3Eu, 0x3Fu, 0x5Cu, 0x7Cu, 0x01u, 0x09u,
                       0x1Fu, 0x7Fu, 0x80u, 0xE9u, 0xFFu}) {
        EXPECT_EQ(vqra_char_ok(b), 0) << b;
    }
}

TEST(CharOk, AcceptsExactly86ByteValues) {
    int safe = 0;
    for (unsigned b = 0; b < 256; ++b) safe += vqra_char_ok(b);
    EXPECT_EQ(safe, 86);
    for (unsigned char c : {' ', '.', '%', '-', '_', '~', '!', '0', 'A', 'z', '[', '\''}) {
        EXPECT_EQ(vqra_char_ok(c), 1) << c;
    }
    EXPECT_EQ(vqra_char_ok(0), 0);
}

TEST(Append, RoutinesStopAtTheBound) {
    char buf[RA_NAME_BUF];
    uint32_t fill = 0;
    vqra_put2(buf, &fill, 123);
    vqra_put2(buf, &fill, 7);
    vqra_putu(buf, &fill, 0);
    vqra_put_safe(buf, &fill, nullptr);
    vqra_put_safe(buf, &fill, "a:b");
    EXPECT_EQ(std::string(buf, fill), "23070a_b");
    // Filled to 199: every further character is dropped, the last byte of
    // the buffer stays free for the terminator.
    buf[RA_NAME_MAX] = 'T';
    fill = RA_NAME_MAX - 1;
    vqra_puts(buf, &fill, "xy");
    EXPECT_EQ(fill, (uint32_t)RA_NAME_MAX);
    EXPECT_EQ(buf[RA_NAME_MAX - 1], 'x');
    EXPECT_EQ(buf[RA_NAME_MAX], 'T');
    vqra_putu(buf, &fill, 4294967295u);
    vqra_putc(buf, &fill, 'z');
    EXPECT_EQ(fill, (uint32_t)RA_NAME_MAX);
    EXPECT_EQ(buf[RA_NAME_MAX], 'T');
}
