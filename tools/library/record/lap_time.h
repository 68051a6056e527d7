// Lap and race times of the record file, hundredths of a second, as the
// plug-in writes them ("81.44"), as a spreadsheet writes them back, and as
// the companion shows them ("1:21.44").
#pragma once

#include <stdint.h>

#include <string>

// A lap time as the plug-in writes it, seconds and hundredths ("81.44"), or
// as a spreadsheet writes it back ("81.4", "81", "81,44"), in hundredths;
// 0 for an empty or zero value, or one in another form.
uint32_t ra_parse_lap(const std::string &text);

// A lap time in hundredths as minutes, seconds and hundredths ("1:21.44").
std::string ra_format_lap(uint32_t hundredths);

// A lap as the companion shows it (ra_format_lap), or "" for no lap (0).
std::string ra_lap_text(uint32_t hundredths);

// A lap time in hundredths as the plug-in writes it ("81.44"), by its own writer.
std::string ra_format_lap_seconds(uint32_t hundredths);
