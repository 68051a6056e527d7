// Text for an HTML page. Everything the page shows that came from the game
// or the record file (racer names, tracks, file names) goes through
// ra_html_text, so that a racer named "<script>" is shown as those eight
// characters and can never become markup, in element content or in a
// quoted attribute value alike.
#pragma once

#include <string>

// The text, which is UTF-8, with & < > " ' as character references. What
// is no text shows as U+FFFD: a byte of no UTF-8 (as a file name on Linux
// may hold), and control characters other than tab and line ends.
std::string ra_html_text(const std::string &text);

// The same text as UTF-8 alone, for an answer of the library app in JSON:
// nothing escaped, what is no text as U+FFFD.
std::string ra_utf8_text(const std::string &text);

// Text as one value of an address's query ("a b&c" -> "a%20b%26c"): every
// byte but letters, digits and "-._~" percent-encoded.
std::string ra_url_text(const std::string &text);
