// Showing a file in the player's web browser. One source per platform,
// chosen by the build: browser_win.cpp (the default browser, through the
// shell), browser_posix.cpp (not offered).
#pragma once

#include <filesystem>
#include <string>

// Opens the file in the default browser; false with *error saying why not.
bool ra_open_in_browser(const std::filesystem::path &file, std::string *error);
