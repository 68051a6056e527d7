// The game's texts on Windows: the active code page (CP_ACP), which the
// game and the plug-in use for every 8-bit text they hand to the system.
// The program declares no code page of its own in its manifest, so that
// CP_ACP stays the game's.
#include "platform/game_text.h"

#include <windows.h>

#include "platform/win/wide_text.h"

namespace {

bool ra_ascii(const std::string &text) {
    for (unsigned char c : text) {
        if (c >= 0x80) return false;
    }
    return true;
}

}  // namespace

std::string ra_game_text(const std::string &bytes) {
    // Every ANSI code page spells ASCII as ASCII: most texts need no call.
    if (ra_ascii(bytes)) return bytes;
    const int n = MultiByteToWideChar(CP_ACP, 0, bytes.data(), (int)bytes.size(), nullptr, 0);
    std::wstring wide((size_t)n, L'\0');
    if (n > 0) MultiByteToWideChar(CP_ACP, 0, bytes.data(), (int)bytes.size(), &wide[0], n);
    return ra_utf8_of(wide);
}

bool ra_game_bytes(const std::string &text, std::string *bytes) {
    if (ra_ascii(text)) {
        *bytes = text;
        return true;
    }
    const std::wstring wide = ra_wide_of(text);
    // A system set to UTF-8 as its ANSI code page ("Beta: Use Unicode
    // UTF-8") spells everything; WideCharToMultiByte then takes no
    // lpUsedDefaultChar.
    if (GetACP() == CP_UTF8) {
        *bytes = ra_utf8_of(wide);
        return *bytes == text;
    }
    // No best fit: a character the code page lacks is the default '?' and
    // said so, never quietly another letter ("Ł" as "L").
    BOOL lost = FALSE;
    const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), (int)wide.size(),
                                      nullptr, 0, nullptr, &lost);
    bytes->assign((size_t)(n > 0 ? n : 0), '\0');
    if (n > 0) {
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), (int)wide.size(),
                            &(*bytes)[0], n, nullptr, &lost);
    }
    return n > 0 && !lost;
}
