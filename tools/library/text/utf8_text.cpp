#include "library/text/utf8_text.h"

#include "code_page.h"
#include "platform/game_text.h"

bool ra_is_utf8(const std::string &text) {
    for (size_t at = 0; at < text.size();) {
        if (ra_utf8_next(text, &at) == ra_no_char) return false;
    }
    return true;
}

size_t ra_text_width(const std::string &text) {
    size_t width = 0;
    for (size_t at = 0; at < text.size(); ++width) ra_utf8_next(text, &at);
    return width;
}

std::string ra_own_file_text(const std::string &line) {
    return ra_is_utf8(line) ? line : ra_game_text(line);
}
