// Off Windows a terminal shows the bytes as they are.
#include "platform/console.h"

#include <unistd.h>

void ra_write_text(FILE *stream, const std::string &text) {
    fputs(text.c_str(), stream);
    fflush(stream);
}

bool ra_is_terminal(FILE *stream) { return isatty(fileno(stream)) != 0; }
