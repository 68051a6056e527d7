// Test support: put the plug-in's static state back to how a fresh process
// finds it, and give each test a scratch folder of its own.
#pragma once

#include <string>

// Settings, hook state, digest cache and the globals of VQ_Apply back to
// their initial values; injected faults cleared; the clock and module path
// of the Windows stand-ins back to their defaults.
void ra_test_reset_plugin(void);

// A fresh, empty folder for the calling test (below $RA_TEST_TMP, or /tmp),
// named after the running test. Returns its host path, without a trailing '/'.
std::string ra_test_scratch_dir(void);

// Writes a whole file (host path); returns false on failure.
bool ra_test_write_file(const std::string &path, const std::string &bytes);
// Reads a whole file (host path); empty when it cannot be read.
std::string ra_test_read_file(const std::string &path);
bool ra_test_file_exists(const std::string &path);
