// The expected-bytes notation that guards every patch site: only hex digits
// and "?" count, pairs make bytes, and a pattern that runs out fails.
#include <gtest/gtest.h>

#include "host/host.h"

namespace {
// E8 AF FC FF FF: CALL 0x513070 as found at the finish site.
const unsigned char site[] = {0xE8, 0xAF, 0xFC, 0xFF, 0xFF, 0x90};
}  // namespace

TEST(HexMatch, SpellingsOfTheSameBytesAllMatch) {
    // Either case, with or without spaces, commas, or a space inside a byte.
    EXPECT_EQ(vqsdk_hex_match(site, 5, "e8 af fc ff ff"), 1);
    EXPECT_EQ(vqsdk_hex_match(site, 5, "E8AFFCFFFF"), 1);
    EXPECT_EQ(vqsdk_hex_match(site, 5, "e8,Af,fC,FF,ff"), 1);
    EXPECT_EQ(vqsdk_hex_match(site, 5, "e 8 a f\tfc  ff ff"), 1);
    // Letters after f and punctuation are skipped wherever they stand.
    EXPECT_EQ(vqsdk_hex_match(site, 5, "xe8 gaf zfc-ff.ff"), 1);
    // One differing byte fails.
    EXPECT_EQ(vqsdk_hex_match(site, 5, "e8 af fc ff fe"), 0);
    EXPECT_EQ(vqsdk_hex_match(site, 5, "e9 af fc ff ff"), 0);
}

TEST(HexMatch, QuestionMarkInEitherPositionIsAWholeByteWildcard) {
    EXPECT_EQ(vqsdk_hex_match(site, 5, "e8 ?? ?? ?? ??"), 1);
    const unsigned char e8_00[] = {0xE8, 0x00};
    // "a?" and "?a" both match 00: no half-byte matching.
    EXPECT_EQ(vqsdk_hex_match(e8_00, 2, "e8 a?"), 1);
    EXPECT_EQ(vqsdk_hex_match(e8_00, 2, "e8 ?a"), 1);
    // A lone "?" pairs with the next counting character: "?12" is a wildcard
    // byte (? with 1) and then a lone 2.
    EXPECT_EQ(vqsdk_hex_match(e8_00, 2, "?12"), 1);
    const unsigned char three[] = {0x00, 0x00, 0x00};
    EXPECT_EQ(vqsdk_hex_match(three, 3, "?12"), 0);
}

TEST(HexMatch, PatternLengthAgainstSiteLength) {
    // Four bytes described fail a length of 5; six are read only up to five.
    EXPECT_EQ(vqsdk_hex_match(site, 5, "e8 af fc ff"), 0);
    EXPECT_EQ(vqsdk_hex_match(site, 5, "e8 af fc ff ff 00"), 1);
    // Nine digits: the lone last digit matches the last byte, whatever it holds.
    EXPECT_EQ(vqsdk_hex_match(site, 5, "e8 af fc ff f"), 1);
    EXPECT_EQ(vqsdk_hex_match(site, 5, "e8 af fc ff 0"), 1);
    EXPECT_EQ(vqsdk_hex_match(site, 5, "e8 af fc fe f"), 0);
    // ...but one byte further the pattern is exhausted.
    EXPECT_EQ(vqsdk_hex_match(site, 6, "e8 af fc ff f"), 0);
    // Length 0 matches anything, even an empty pattern; an empty pattern
    // fails any real length.
    EXPECT_EQ(vqsdk_hex_match(site, 0, ""), 1);
    EXPECT_EQ(vqsdk_hex_match(site, 0, "zz"), 1);
    EXPECT_EQ(vqsdk_hex_match(site, 1, ""), 0);
    EXPECT_EQ(vqsdk_hex_match(site, 1, "xyz"), 0);
}

TEST(HexMatch, ZeroXPrefixHasNoMeaningOfItsOwn) {
    // "0x12": the 0 counts, the x is skipped: byte 01, then a lone 2.
    const unsigned char one_then_any[] = {0x01, 0xFF};
    EXPECT_EQ(vqsdk_hex_match(one_then_any, 2, "0x12"), 1);
    const unsigned char twelve[] = {0x12};
    EXPECT_EQ(vqsdk_hex_match(twelve, 1, "0x12"), 0);
}

TEST(HexMatch, DigitValues) {
    EXPECT_EQ(vq_hexv_('0'), 0);
    EXPECT_EQ(vq_hexv_('9'), 9);
    EXPECT_EQ(vq_hexv_('a'), 10);
    EXPECT_EQ(vq_hexv_('F'), 15);
    EXPECT_EQ(vq_hexv_('g'), -1);
    EXPECT_EQ(vq_hexv_('?'), -1);
    EXPECT_EQ(vq_hexv_(' '), -1);
    // The character is taken as an unsigned byte: a signed char from 0x80 up
    // is no digit, and only its low byte counts.
    EXPECT_EQ(vq_hexv_((char)0xE1), -1);
    EXPECT_EQ(vq_hexv_(0x100 + 'b'), 11);
}
