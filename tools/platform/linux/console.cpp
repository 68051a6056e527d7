// Off Windows a terminal shows UTF-8 as it is.
#include "platform/console.h"

#include <unistd.h>

void ra_write_text(FILE *stream, const std::string &text) {
    fputs(text.c_str(), stream);
    fflush(stream);
}

bool ra_is_terminal(FILE *stream) { return isatty(fileno(stream)) != 0; }
