#include <gtest/gtest.h>

#include "settings/settings.h"

TEST(StringHelpers, IeqFoldsOnlyAsciiLetters) {
    EXPECT_EQ(ra_ieq("Name", "NAME"), 1);
    EXPECT_EQ(ra_ieq("Name", "Names"), 0);
    EXPECT_EQ(ra_ieq("sr_name", "SR_NAME"), 1);
    // Bytes from 0x80 up must match exactly.
    EXPECT_EQ(ra_ieq("\xe9", "\xc9"), 0);
    EXPECT_EQ(ra_ieq("", ""), 1);
}

TEST(StringHelpers, StrstrIsExactAndEmptyNeedleMatchesAtStart) {
    const char *hay = "%track_trn_md5%";
    EXPECT_EQ(ra_strstr(hay, ""), hay);
    const char *empty = "";
    EXPECT_EQ(ra_strstr(empty, ""), empty);
    EXPECT_EQ(ra_strstr(hay, "track_tr_md5"), nullptr);
    EXPECT_EQ(ra_strstr(hay, "track_trn_md5"), hay + 1);
    EXPECT_EQ(ra_strstr("%index%", "%INDEX%"), nullptr);
}

TEST(StringHelpers, StpcpyReturnsCopiedTerminatorForChaining) {
    char buf[32];
    char *end = ra_stpcpy(buf, "Save");
    EXPECT_EQ(end, buf + 4);
    EXPECT_EQ(*end, '\0');
    ra_stpcpy(ra_stpcpy(end, "Data\\"), "Saves");
    EXPECT_STREQ(buf, "SaveData\\Saves");
}
