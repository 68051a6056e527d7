// The game's texts on Linux: the Windows stand-ins' ANSI code page is
// Windows-1252, the five bytes it leaves unassigned included, as Windows
// maps them (U+0081 and so on), so that every byte comes back.
#include "platform/game_text.h"

#include "code_page.h"

std::string ra_game_text(const std::string &bytes) { return ra_cp1252_to_utf8(bytes); }

bool ra_game_bytes(const std::string &text, std::string *bytes) {
    bool lossy = false;
    *bytes = ra_utf8_to_cp1252(text, &lossy);
    return !lossy;
}
