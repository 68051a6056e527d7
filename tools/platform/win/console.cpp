// The console of a Windows program shows its output code page, by default
// the OEM one, in which the system code page's letters (the é of "Jeux
// vidéo" in Windows-1252) come out as others. WriteConsoleW takes
// characters, whatever the console's code page and without changing it for
// the programs that share the console.
#include <windows.h>
#include <io.h>

#include <algorithm>

#include "platform/console.h"

void ra_write_text(FILE *stream, const std::string &text) {
    fflush(stream);
    HANDLE handle = (HANDLE)_get_osfhandle(_fileno(stream));
    DWORD mode = 0;
    // Only a console has a console mode; a pipe or a file keeps the bytes.
    if (text.empty() || handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode)) {
        fputs(text.c_str(), stream);
        fflush(stream);
        return;
    }
    int n = MultiByteToWideChar(CP_ACP, 0, text.data(), (int)text.size(), nullptr, 0);
    std::wstring wide((size_t)n, L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), (int)text.size(), &wide[0], n);
    // WriteConsoleW takes a limited amount at once.
    const size_t chunk = 8192;
    for (size_t at = 0; at < wide.size(); at += chunk) {
        DWORD written = 0;
        DWORD count = (DWORD)std::min(chunk, wide.size() - at);
        if (!WriteConsoleW(handle, wide.data() + at, count, &written, nullptr)) {
            // Not a console after all: the bytes, as elsewhere.
            if (at == 0) fputs(text.c_str(), stream);
            break;
        }
    }
    fflush(stream);
}

bool ra_is_terminal(FILE *stream) { return _isatty(_fileno(stream)) != 0; }
