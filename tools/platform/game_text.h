// The game's texts: the plug-in and the game write names, tracks and paths
// in bytes of the system's ANSI code page (the record's lines, the
// settings it reads), while the companion holds all its text in UTF-8.
// These turn the one into the other where the game's bytes come in and
// where they go back to the game or the plug-in. One source per platform,
// chosen by the build: platform/win/game_text.cpp (the active code page,
// CP_ACP), platform/linux/game_text.cpp (Windows-1252, the code page of the
// Windows stand-ins of sim/win32).
#pragma once

#include <string>

// The game's bytes as UTF-8.
std::string ra_game_text(const std::string &bytes);

// UTF-8 text in the game's bytes, into *bytes; false when the code page
// cannot spell all of it (what it lacks is then '?' in *bytes).
bool ra_game_bytes(const std::string &text, std::string *bytes);
