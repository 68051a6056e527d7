#include "friends/plain_name.h"

#include <ctype.h>
#include <string.h>

#include <algorithm>

#include "library/text/utf8_text.h"

namespace {

// Characters Windows refuses in a name, the separators among them.
const char ra_forbidden_chars[] = "<>:\"|?*";
const char ra_separators[] = "\\/";

// The names Windows keeps for devices, whatever extension follows.
const char *const ra_device_names[] = {"CON",  "PRN",  "AUX",  "NUL",  "COM1",   "COM2",
                                       "COM3", "COM4", "COM5", "COM6", "COM7",   "COM8",
                                       "COM9", "LPT1", "LPT2", "LPT3", "LPT4",   "LPT5",
                                       "LPT6", "LPT7", "LPT8", "LPT9", "CONIN$", "CONOUT$"};

// Windows 10 and later take COM and LPT with a superscript digit (COM¹ is
// COM1): ¹ ² ³ in UTF-8, and as single bytes in Windows-1252, the code page
// a name may still arrive in.
const char *const ra_numbered_devices[] = {"COM", "LPT"};
const char *const ra_superscript_digits[] = {"\xC2\xB9", "\xC2\xB2", "\xC2\xB3",
                                             "\xB9",     "\xB2",     "\xB3"};

bool ra_is_device_name(const std::string &name) {
    std::string stem = name.substr(0, name.find('.'));
    // "CON .txt" is CON too.
    while (!stem.empty() && stem.back() == ' ') stem.pop_back();
    std::transform(stem.begin(), stem.end(), stem.begin(),
                   [](unsigned char c) { return (char)toupper(c); });
    for (const char *device : ra_device_names) {
        if (stem == device) return true;
    }
    for (const char *device : ra_numbered_devices) {
        for (const char *digit : ra_superscript_digits) {
            if (stem == std::string(device) + digit) return true;
        }
    }
    return false;
}

}  // namespace

std::string ra_plain_name_problem(const std::string &name) {
    if (name.empty()) return "it is empty";
    if (name.size() > ra_plain_name_max) {
        return "it is longer than " + std::to_string(ra_plain_name_max) + " bytes";
    }
    // Text, decoded: a byte of no UTF-8 is none, and a C1 control (U+0080
    // to U+009F, written C2 80 to C2 9F) is a control character as well.
    if (!ra_is_utf8(name)) return "it holds bytes that are no text";
    for (size_t at = name.find('\xC2'); at != std::string::npos; at = name.find('\xC2', at + 1)) {
        if ((unsigned char)name[at + 1] < 0xA0) return "it holds a control character";
    }
    for (unsigned char c : name) {
        if (c < 0x20 || c == 0x7f) return "it holds a control character";
        if (strchr(ra_separators, c)) return "it holds a path separator";
        if (strchr(ra_forbidden_chars, c)) return "it holds a character Windows refuses in names";
    }
    if (name.find("..") != std::string::npos) return "it holds \"..\"";
    if (name.back() == '.' || name.back() == ' ') return "it ends in a dot or a space";
    if (ra_is_device_name(name)) return "it is a device name such as CON or COM1";
    return "";
}
