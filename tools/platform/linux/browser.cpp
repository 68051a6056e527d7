// Off Windows the companion serves developers and tests, whose machines may
// have no browser or no desktop to show one on: it says so rather than guess.
#include "platform/browser.h"

bool ra_open_in_browser(const std::filesystem::path &, std::string *error) {
    *error = "--open is available on Windows only; open the page in a browser yourself";
    return false;
}
