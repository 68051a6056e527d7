// The after-race handler's directory chain: every level of Dir is requested
// in turn, cut only at separators after the first character.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "autosave/autosave.h"
#include "plugin_state.h"
#include "settings/settings.h"
#include "sim_win32.h"

TEST(MakeDirs, LeadingSeparatorOfAnAbsoluteDirIsNeverACutPoint) {
    // "\a\b" starts at the root: its first level is "\a", never the empty
    // name before the separator. The calls are refused so that nothing is
    // made at the host's root; every request is logged all the same.
    for (const char *dir : {"\\a\\b", "/a/b"}) {
        SCOPED_TRACE(dir);
        ra_test_reset_plugin();
        ra_stpcpy(ra_dir, dir);
        sim_fail_call("CreateDirectoryA", ERROR_ACCESS_DENIED, 10);
        ra_make_dirs();
        ASSERT_EQ(sim_created_dir_count(), 2u);
        EXPECT_EQ(std::string(sim_created_dir(0)), std::string(dir, 2));
        EXPECT_STREQ(sim_created_dir(1), dir);
    }
    ra_test_reset_plugin();
}
