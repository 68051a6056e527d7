// Text for an HTML page. Everything the page shows that came from the game
// or the record file (racer names, tracks, file names) goes through
// ra_html_text, so that a racer named "<script>" is shown as those eight
// characters and can never become markup, in element content or in a
// quoted attribute value alike.
#pragma once

#include <string>

// The text with & < > " ' as character references, in UTF-8. Bytes that are
// not UTF-8 are taken as Windows-1252, the code page the game's texts are
// most likely in, so that a name never turns into replacement characters.
// What is no text (control characters other than tab and line ends, and
// bytes Windows-1252 leaves unassigned) shows as U+FFFD.
std::string ra_html_text(const std::string &text);

// The same text as UTF-8 alone, for an answer of the library app in JSON:
// nothing escaped, the same reading of bytes that are no UTF-8.
std::string ra_utf8_text(const std::string &text);

// Text as one value of an address's query ("a b&c" -> "a%20b%26c"): every
// byte but letters, digits and "-._~" percent-encoded.
std::string ra_url_text(const std::string &text);
