// Off Windows a terminal shows the bytes as they are.
#include "platform/console.h"

void ra_write_text(FILE *stream, const std::string &text) {
    fputs(text.c_str(), stream);
    fflush(stream);
}
