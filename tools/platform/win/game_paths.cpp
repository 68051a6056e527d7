// Paths on Windows: the plug-in's "A" file functions read texts in the
// system's code page (CP_ACP), so ours do too.
#include <windows.h>
// windows.h first: shellapi.h needs its types.
#include <shellapi.h>

#include <utility>

#include "platform/game_paths.h"

namespace {

// The arguments whose code page spelling lost letters, with their exact one.
std::vector<std::pair<std::string, std::wstring>> ra_lossy_arguments;

std::string ra_ansi(const std::wstring &wide) {
    if (wide.empty()) return std::string();
    int n =
        WideCharToMultiByte(CP_ACP, 0, wide.data(), (int)wide.size(), nullptr, 0, nullptr, nullptr);
    std::string text((size_t)n, '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), (int)wide.size(), &text[0], n, nullptr, nullptr);
    return text;
}

}  // namespace

std::filesystem::path ra_path(const std::string &text) {
    if (text.empty()) return std::filesystem::path();
    int n = MultiByteToWideChar(CP_ACP, 0, text.data(), (int)text.size(), nullptr, 0);
    std::wstring wide((size_t)n, L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), (int)text.size(), &wide[0], n);
    return std::filesystem::path(wide);
}

std::string ra_text(const std::filesystem::path &path) { return ra_ansi(path.native()); }

std::vector<std::string> ra_arguments(int argc, char **argv) {
    int n = 0;
    wchar_t **wide = CommandLineToArgvW(GetCommandLineW(), &n);
    if (wide == nullptr) return std::vector<std::string>(argv + 1, argv + argc);
    std::vector<std::string> args;
    for (int i = 1; i < n; ++i) {
        std::string text = ra_ansi(wide[i]);
        if (ra_path(text).native() != wide[i]) ra_lossy_arguments.emplace_back(text, wide[i]);
        args.push_back(text);
    }
    LocalFree(wide);
    return args;
}

std::filesystem::path ra_argument_path(const std::string &argument) {
    for (const auto &lossy : ra_lossy_arguments) {
        if (lossy.first == argument) return std::filesystem::path(lossy.second);
    }
    return ra_path(argument);
}

// "\Replays" keeps the game folder's drive, as it does for the game.
std::filesystem::path ra_game_path(const std::filesystem::path &game,
                                   const std::string &windows_path) {
    std::filesystem::path path = ra_path(windows_path);
    return path.is_absolute() ? path : game / path;
}
