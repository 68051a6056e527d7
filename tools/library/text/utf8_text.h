// Text inside the companion is UTF-8 (the game's bytes are decoded where
// they are read, platform/game_text.h): what the program asks of such
// text, and how it reads back the files it writes itself.
#pragma once

#include <stddef.h>

#include <string>

// Whether the bytes are UTF-8, each sequence well formed.
bool ra_is_utf8(const std::string &text);

// How many characters the text shows: its columns on a console, where
// each of these letters takes one.
size_t ra_text_width(const std::string &text);

// A line of a file the companion writes (replays.keep, replays.aliases, a
// friend's replays.sha256), in UTF-8. One that is no UTF-8 was written by
// an older version in the game's bytes, and is read as those.
std::string ra_own_file_text(const std::string &line);
