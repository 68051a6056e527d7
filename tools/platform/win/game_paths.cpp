// Paths on Windows, in their wide form: a name goes to the system and comes
// from it as UTF-16, whatever the code page can spell, so that a replay
// named "Łukasz ゲーム.rp4" on a Windows-1252 system keeps its name from the
// folder's listing to the file call.
#include <windows.h>
// windows.h first: shellapi.h needs its types.
#include <shellapi.h>

#include "platform/game_paths.h"
#include "platform/win/wide_text.h"

std::filesystem::path ra_path(const std::string &text) {
    return std::filesystem::path(ra_wide_of(text));
}

std::string ra_text(const std::filesystem::path &path) { return ra_utf8_of(path.native()); }

std::vector<std::string> ra_arguments(int argc, char **argv) {
    // The wide command line: argv holds a code page's spelling, with "?" or
    // a best-fit letter for what the code page lacks.
    int n = 0;
    wchar_t **wide = CommandLineToArgvW(GetCommandLineW(), &n);
    if (wide == nullptr) return std::vector<std::string>(argv + 1, argv + argc);
    std::vector<std::string> args;
    for (int i = 1; i < n; ++i) args.push_back(ra_utf8_of(std::wstring(wide[i])));
    LocalFree(wide);
    return args;
}

// "\Replays" keeps the game folder's drive, as it does for the game.
std::filesystem::path ra_game_path(const std::filesystem::path &game,
                                   const std::string &windows_path) {
    std::filesystem::path path = ra_path(windows_path);
    return path.is_absolute() ? path : game / path;
}
