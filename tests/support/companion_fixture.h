// Test support for the companion program: a game folder with its
// replay_autosave.ini, a save folder, and the plug-in's record file in it.
#pragma once

#include <map>
#include <string>

// The plug-in's header line of the record file.
std::string ra_test_record_header(void);

// One record line with these values by column name (the others empty),
// quoted as the plug-in quotes them, ended by CR LF.
std::string ra_test_record_line(const std::map<std::string, std::string> &values);

// Sets the file's time stamp to a local time "YYYY-MM-DD HH:MM:SS".
bool ra_test_set_file_time(const std::string &path, const char *local);

// The local time `seconds` ago as "YYYY-MM-DD HH:MM:SS", the form of
// ra_test_set_file_time and of the record's times.
std::string ra_test_local_time_ago(int seconds);
