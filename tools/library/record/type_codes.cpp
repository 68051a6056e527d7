#include "library/record/type_codes.h"

#include <stdint.h>

#include <map>
#include <set>
#include <vector>

#include "snapshot/game_map.h"

namespace {

// The inputs tried: race types and variants up to these, each last one
// standing for itself and every larger value; circuit types likewise, and
// the "not asked yet" value the game's career words start with.
const uint32_t ra_race_type_last = 5;
const uint32_t ra_variant_last = 11;
const uint32_t ra_circuit_last = 4;
const uint32_t ra_circuit_unknown = 0xFFFFFFFFu;

// "4 or 7", "0 to 3, or 10 and above": values out of 0..last, where last
// stands for every larger value too.
std::string ra_values_text(const std::set<uint32_t> &values, uint32_t last) {
    std::vector<std::string> runs;
    for (auto it = values.begin(); it != values.end();) {
        uint32_t first = *it, end = first;
        while (++it != values.end() && *it == end + 1) end = *it;
        if (end == last) {
            runs.push_back(std::to_string(first) + " and above");
        } else if (end == first) {
            runs.push_back(std::to_string(first));
        } else if (end == first + 1) {
            runs.push_back(std::to_string(first) + " or " + std::to_string(end));
        } else {
            runs.push_back(std::to_string(first) + " to " + std::to_string(end));
        }
    }
    std::string text;
    for (size_t i = 0; i < runs.size(); ++i) {
        text += (i == 0                 ? ""
                 : i + 1 == runs.size() ? (runs.size() > 2 ? ", or " : " or ")
                                        : ", ") +
                runs[i];
    }
    return text;
}

// What one race type number contributes to a code: which M flags, variants
// and circuit types give the code with it.
struct ra_code_inputs {
    std::set<uint32_t> m_flags, variants, circuits;
    bool circuit_unknown = false;
};

std::string ra_code_of(uint32_t race_type, uint32_t variant, uint32_t circuit, uint32_t m_flag) {
    char code[3] = {0};
    vqra_type_code(race_type, variant, circuit, m_flag, code);
    return code;
}

}  // namespace

std::string ra_type_code_meaning(const std::string &code) {
    std::map<uint32_t, ra_code_inputs> by_type;
    for (uint32_t type = 0; type <= ra_race_type_last; ++type) {
        for (uint32_t m = 0; m <= 1; ++m) {
            for (uint32_t variant = 0; variant <= ra_variant_last; ++variant) {
                for (uint32_t circuit = 0; circuit <= ra_circuit_last + 1; ++circuit) {
                    const bool unknown = circuit > ra_circuit_last;
                    if (ra_code_of(type, variant, unknown ? ra_circuit_unknown : circuit, m) !=
                        code) {
                        continue;
                    }
                    ra_code_inputs &in = by_type[type];
                    in.m_flags.insert(m);
                    in.variants.insert(variant);
                    if (unknown) {
                        in.circuit_unknown = true;
                    } else {
                        in.circuits.insert(circuit);
                    }
                }
            }
        }
    }
    if (by_type.empty()) return std::string();
    if (by_type.begin()->first == ra_race_type_last) {
        return "A race type the plug-in does not know (race type " +
               std::to_string(ra_race_type_last) + " or above).";
    }
    std::string text;
    for (const auto &entry : by_type) {
        const uint32_t type = entry.first;
        const ra_code_inputs &in = entry.second;
        const bool every_circuit = in.circuits.size() == ra_circuit_last + 1 && in.circuit_unknown;
        std::string part;
        if (!every_circuit) {
            part = "A career race (race type " + std::to_string(type) + "), circuit type " +
                   (in.circuits.empty() ? std::string()
                                        : ra_values_text(in.circuits, ra_circuit_last)) +
                   (in.circuit_unknown ? ", or not known yet" : "");
        } else {
            part = "Race type " + std::to_string(type);
            if (in.m_flags.size() == 1) {
                part += *in.m_flags.begin() ? ", multiplayer (the M flag is set)" : ", one player";
            }
            if (in.variants.size() <= ra_variant_last) {
                part += ", variant " + ra_values_text(in.variants, ra_variant_last);
            }
        }
        text += (text.empty() ? "" : " ") + part + ".";
    }
    return text;
}
