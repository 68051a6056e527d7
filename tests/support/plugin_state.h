// Test support: put the plug-in's static state back to how a fresh process
// finds it, and give each test a scratch folder of its own.
#pragma once

#include <string>

#include <stdint.h>

#include "settings/settings.h"

// The settings storage as the plug-in itself initialises it, taken once at
// static initialisation of the test support, before any test runs.
struct ra_test_settings {
    int32_t enabled;
    char dir[RA_DIR_SIZE];
    ra_tpl tpls[RA_TPL_COUNT];
    int32_t index_start;
    int32_t clear_ip;
    int32_t record;
    int32_t cfg_loaded;
};
const ra_test_settings &ra_test_initial_settings(void);

// Settings (from that snapshot), hook state, digest cache and the globals of
// VQ_Apply back to their initial values; injected faults cleared; the clock
// and module path of the Windows stand-ins back to their defaults.
void ra_test_reset_plugin(void);

// A fresh, empty folder for the calling test (below $RA_TEST_TMP, or /tmp),
// named after the running test. Returns its host path, without a trailing '/'.
std::string ra_test_scratch_dir(void);

// Writes a whole file (host path); returns false on failure.
bool ra_test_write_file(const std::string &path, const std::string &bytes);
// Reads a whole file (host path); empty when it cannot be read.
std::string ra_test_read_file(const std::string &path);
bool ra_test_file_exists(const std::string &path);
