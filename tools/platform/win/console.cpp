// The console of a Windows program shows its output code page, by default
// the OEM one (850 or 437), in which the bytes of any other text come out
// as other letters. WriteConsoleW takes characters, whatever the console's
// code page and without changing it for the programs that share the
// console; a pipe or a file gets the program's UTF-8 as it is.
#include <windows.h>
#include <io.h>

#include <algorithm>

#include "platform/console.h"
#include "platform/win/wide_text.h"

void ra_write_text(FILE *stream, const std::string &text) {
    fflush(stream);
    HANDLE handle = (HANDLE)_get_osfhandle(_fileno(stream));
    DWORD mode = 0;
    // Only a console has a console mode.
    if (text.empty() || handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode)) {
        fwrite(text.data(), 1, text.size(), stream);
        fflush(stream);
        return;
    }
    const std::wstring wide = ra_wide_of(text);
    // WriteConsoleW takes a limited amount at once.
    const size_t chunk = 8192;
    for (size_t at = 0; at < wide.size(); at += chunk) {
        DWORD written = 0;
        DWORD count = (DWORD)std::min(chunk, wide.size() - at);
        if (!WriteConsoleW(handle, wide.data() + at, count, &written, nullptr)) {
            // Not a console after all: the bytes, as elsewhere.
            if (at == 0) fwrite(text.data(), 1, text.size(), stream);
            break;
        }
    }
    fflush(stream);
}

bool ra_is_terminal(FILE *stream) { return _isatty(_fileno(stream)) != 0; }
