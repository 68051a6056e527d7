// Writing the program's text, which is UTF-8, to its output. A Windows
// console shows a code page of its own (the OEM one: 850 or 437), so there
// the text is handed over as characters; pipes and files get the UTF-8
// bytes. One source per platform, chosen by the build:
// platform/win/console.cpp, platform/linux/console.cpp.
#pragma once

#include <stdio.h>

#include <string>

// Writes the text to the stream (stdout or stderr) and flushes it.
void ra_write_text(FILE *stream, const std::string &text);

// True when the stream is a terminal (a console on Windows), not a pipe or a file.
bool ra_is_terminal(FILE *stream);
