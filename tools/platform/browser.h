// Showing a file in the player's web browser. One source per platform,
// chosen by the build: platform/win/browser.cpp (the default browser,
// through the shell), platform/linux/browser.cpp (not offered).
#pragma once

#include <filesystem>
#include <string>

// Opens the file in the default browser; false with *error saying why not.
bool ra_open_in_browser(const std::filesystem::path &file, std::string *error);
