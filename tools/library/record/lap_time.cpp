// Times in hundredths, read and written.
#include "library/record/lap_time.h"

#include <stdio.h>

#include "snapshot/hundredths.h"

namespace {

// Digits before the point that are read: 9999999.99 still fits 32 bits of
// hundredths, eight nines would not.
const size_t ra_lap_whole_digits = 7;

}  // namespace

uint32_t ra_parse_lap(const std::string &text) {
    // Digits, then '.' (or a spreadsheet's ',') and one or two digits:
    // "81.44" as %best_lap_carN% writes it, "81.4" or "81" as a spreadsheet
    // writes it back.
    size_t dot = text.find_first_of(".,");
    size_t whole = dot == std::string::npos ? text.size() : dot;
    size_t decimals = dot == std::string::npos ? 0 : text.size() - dot - 1;
    if (whole == 0 || whole > ra_lap_whole_digits ||
        (dot != std::string::npos && (decimals < 1 || decimals > 2))) {
        return 0;
    }
    uint32_t hundredths = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (i == dot) continue;
        if (text[i] < '0' || text[i] > '9') return 0;
        hundredths = hundredths * 10u + (uint32_t)(text[i] - '0');
    }
    for (size_t i = decimals; i < 2; ++i) hundredths *= 10u;
    return hundredths;
}

std::string ra_format_lap(uint32_t hundredths) {
    char text[32];
    snprintf(text, sizeof text, "%u:%02u.%02u", hundredths / 6000u, hundredths / 100u % 60u,
             hundredths % 100u);
    return text;
}

std::string ra_lap_text(uint32_t hundredths) {
    return hundredths == 0 ? std::string() : ra_format_lap(hundredths);
}

std::string ra_format_lap_seconds(uint32_t hundredths) {
    char text[RA_HUNDREDTHS_TEXT_MAX];
    uint32_t fill = 0;
    ra_put_hundredths(text, sizeof text, &fill, hundredths);
    return std::string(text, fill);
}
