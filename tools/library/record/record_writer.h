// A record line written back as the plug-in writes it, for repair: the
// plug-in's columns in its order, each cell through the plug-in's own
// writer (its quoting, its formula mark, '_' for a control byte), lap and
// race times as it writes them.
#pragma once

#include <string>

#include "library/record/record_reader.h"

// The line, ended by CR LF. Reading it gives the record back.
std::string ra_plugin_form(const ra_record &record);
