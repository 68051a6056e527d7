// Paths on Windows: the plug-in's "A" file functions read texts in the
// system's code page (CP_ACP), so ours do too.
#include <windows.h>

#include "game_paths.h"

std::filesystem::path ra_path(const std::string &text) {
    if (text.empty()) return std::filesystem::path();
    int n = MultiByteToWideChar(CP_ACP, 0, text.data(), (int)text.size(), nullptr, 0);
    std::wstring wide((size_t)n, L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), (int)text.size(), &wide[0], n);
    return std::filesystem::path(wide);
}

std::string ra_text(const std::filesystem::path &path) {
    const std::wstring &wide = path.native();
    if (wide.empty()) return std::string();
    int n =
        WideCharToMultiByte(CP_ACP, 0, wide.data(), (int)wide.size(), nullptr, 0, nullptr, nullptr);
    std::string text((size_t)n, '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), (int)wide.size(), &text[0], n, nullptr, nullptr);
    return text;
}

// "\Replays" keeps the game folder's drive, as it does for the game.
std::filesystem::path ra_game_path(const std::filesystem::path &game,
                                   const std::string &windows_path) {
    std::filesystem::path path = ra_path(windows_path);
    return path.is_absolute() ? path : game / path;
}
