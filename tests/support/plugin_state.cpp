#include "plugin_state.h"

#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "host/host.h"
#include "patches/hooks.h"
#include "settings/settings.h"
#include "snapshot/track_digests.h"
#include "sim_win32.h"

void ra_test_reset_plugin(void) {
    ra_enabled = 1;
    ra_stpcpy(ra_dir, RA_DEFAULT_DIR);
    for (ra_tpl &tpl : ra_tpls) tpl.value[0] = '\0';
    ra_index_start = 1;
    ra_clear_ip = 0;
    ra_record = 0;
    ra_cfg_loaded = 0;

    ra_game = 0;
    ra_log = nullptr;
    vq_ra_save_stock = 0;
    vq_ra_setup_stock = 0;
    vq_ra_circ_type = -1;
    vq_ra_circ_id = 0;
    ra_start_valid = 0;
    memset(&ra_start_time, 0, sizeof ra_start_time);

    ra_md5_valid = 0;
    memset(ra_md5_tr, 0, sizeof ra_md5_tr);
    memset(ra_md5_trn, 0, sizeof ra_md5_trn);
    memset(ra_md5_folder, 0, sizeof ra_md5_folder);

    sim_clear_faults();
    sim_set_clock(nullptr);
    sim_set_module_path(nullptr);
}

std::string ra_test_scratch_dir(void) {
    const char *root = getenv("RA_TEST_TMP");
    std::string dir = root && *root ? root : "/tmp";
    const ::testing::TestInfo *info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "ra_test";
    dir += "/" + name;
    std::string cmd = "rm -rf '" + dir + "' && mkdir -p '" + dir + "'";
    if (system(cmd.c_str()) != 0) ADD_FAILURE() << "cannot make scratch folder " << dir;
    return dir;
}

bool ra_test_write_file(const std::string &path, const std::string &bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), (std::streamsize)bytes.size());
    return (bool)out;
}

std::string ra_test_read_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

bool ra_test_file_exists(const std::string &path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}
