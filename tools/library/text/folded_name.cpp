#include "library/text/folded_name.h"

#include "settings/settings.h"

std::string ra_folded_name(const std::string &name) {
    std::string folded = name;
    for (char &c : folded) c = (char)ra_upper((unsigned char)c);
    return folded;
}
