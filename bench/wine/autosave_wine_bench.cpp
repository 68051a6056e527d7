// The whole autosave on Windows (or Wine): the shipped DLL loaded by the
// system and applied to the simulated game as the Windows simulator does,
// one replay save of a 1 MiB replay with the settings beside this program
// (scripts/bench_wine.sh writes Record = 1, ClearIp = 1), timed against a
// bare CopyFileA of the same file, both in turn in one loop. Then one more
// save with every KERNEL32 call of the DLL counted through its import
// address table. A figure, not a test.
//
// Usage: autosave-wine-bench.exe --game-dir DIR --race RACE.ini --plugin PATH.vqp
//                                [--rounds N] [--repetitions N]
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "game_code.h"
#include "game_image.h"
#include "game_memory.h"
#include "simulation.h"
#include "simulation_platform.h"
#include "test_host.h"

namespace {

// A replay of a few laps.
const uint32_t bench_replay_size = 1u << 20;
const char bench_replay_file[] = "Replays\\replay.rp4";
const char bench_plain_copy[] = "SaveData\\Saves\\plain.rp4";

// --- Counting the DLL's KERNEL32 calls ------------------------------------
// Every import address table entry of KERNEL32 is pointed at a stub of its
// own, INC [calls]; JMP [original]: the call reaches the system unchanged,
// stack and registers as the DLL left them (only the flags differ, which no
// call's callee reads).
#pragma pack(push, 1)
struct counting_stub {
    unsigned char inc[2];  // FF 05: INC DWORD [calls]
    uint32_t *calls;
    unsigned char jmp[2];  // FF 25: JMP DWORD [original]
    void **original;
};
#pragma pack(pop)

struct counted_import {
    std::string name;
    uint32_t calls = 0;
    void *original = nullptr;
};

// Enough for every KERNEL32 function a DLL of ours imports.
const size_t max_counted_imports = 64;
counted_import g_counted[max_counted_imports];
size_t g_counted_count = 0;

bool count_kernel32_calls(HMODULE module, std::string *error) {
    unsigned char *base = (unsigned char *)module;
    const IMAGE_DOS_HEADER *dos = (const IMAGE_DOS_HEADER *)base;
    const IMAGE_NT_HEADERS32 *nt = (const IMAGE_NT_HEADERS32 *)(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY &dir =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    counting_stub *stubs =
        (counting_stub *)VirtualAlloc(nullptr, sizeof(counting_stub) * max_counted_imports,
                                      MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE);
    if (stubs == nullptr) {
        *error = "cannot allocate the counting stubs";
        return false;
    }
    for (const IMAGE_IMPORT_DESCRIPTOR *d =
             (const IMAGE_IMPORT_DESCRIPTOR *)(base + dir.VirtualAddress);
         d->Name != 0; ++d) {
        if (_stricmp((const char *)(base + d->Name), "KERNEL32.dll") != 0) continue;
        const IMAGE_THUNK_DATA32 *names =
            (const IMAGE_THUNK_DATA32 *)(base + d->OriginalFirstThunk);
        IMAGE_THUNK_DATA32 *slots = (IMAGE_THUNK_DATA32 *)(base + d->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (g_counted_count == max_counted_imports) {
                *error = "more KERNEL32 imports than the counting stubs";
                return false;
            }
            counted_import &c = g_counted[g_counted_count];
            counting_stub &stub = stubs[g_counted_count++];
            c.name =
                (names->u1.Ordinal & IMAGE_ORDINAL_FLAG32)
                    ? "#" + std::to_string(names->u1.Ordinal & 0xFFFF)
                    : (const char *)((const IMAGE_IMPORT_BY_NAME *)(base + names->u1.AddressOfData))
                          ->Name;
            c.original = (void *)(uintptr_t)slots->u1.Function;
            stub = {{0xFF, 0x05}, &c.calls, {0xFF, 0x25}, &c.original};
            DWORD old;
            if (!VirtualProtect(&slots->u1.Function, 4, PAGE_READWRITE, &old)) {
                *error = "cannot write the import address table";
                return false;
            }
            slots->u1.Function = (DWORD)(uintptr_t)&stub;
            VirtualProtect(&slots->u1.Function, 4, old, &old);
        }
    }
    return g_counted_count > 0 || (*error = "the DLL imports nothing from KERNEL32", false);
}

void reset_counts(void) {
    for (size_t i = 0; i < g_counted_count; ++i) g_counted[i].calls = 0;
}

// --- Timing -----------------------------------------------------------------

double now_us(void) {
    static LARGE_INTEGER frequency = {};
    if (frequency.QuadPart == 0) QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return (double)t.QuadPart * 1e6 / (double)frequency.QuadPart;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

int fail(const std::string &what) {
    fprintf(stderr, "autosave-wine-bench: %s\n", what.c_str());
    return 1;
}

}  // namespace

int main(int argc, char **argv) {
    std::string game_dir, race_path, plugin_path;
    uint32_t rounds = 100, repetitions = 5;
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string arg = argv[i], value = argv[i + 1];
        if (arg == "--game-dir") {
            game_dir = value;
        } else if (arg == "--race") {
            race_path = value;
        } else if (arg == "--plugin") {
            plugin_path = value;
        } else if (arg == "--rounds") {
            rounds = (uint32_t)atoi(value.c_str());
        } else if (arg == "--repetitions") {
            repetitions = (uint32_t)atoi(value.c_str());
        } else {
            return fail("unknown option " + arg);
        }
    }
    if (game_dir.empty() || race_path.empty() || plugin_path.empty() || rounds == 0 ||
        repetitions == 0) {
        return fail(
            "usage: --game-dir DIR --race RACE.ini --plugin PATH.vqp [--rounds N] "
            "[--repetitions N]");
    }

    std::ifstream in(race_path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    sim_race_file race;
    std::string error;
    if (!in || !sim_parse_race_file(text.str(), race_path, &race, &error)) {
        return fail("cannot read the race " + race_path + ": " + error);
    }
    race.replay_size = bench_replay_size;

    sim_plugin plugin;
    std::string previous;
    if (!sim_plugin_load_dll(plugin_path.c_str(), &plugin, &error) ||
        !count_kernel32_calls(plugin.dll.handle, &error) ||
        !sim_enter_game_folder(game_dir, &previous, &error)) {
        return fail(error);
    }
    std::string shown;
    if (!sim_make_game_folders(race.race.replay_dir) ||
        !sim_write_game_file(bench_replay_file, sim_replay_bytes(race, 0), &shown)) {
        return fail("cannot write the game's replay " + std::string(bench_replay_file));
    }

    sim_game_map();
    sim_game_install_code();
    sim_game_write_race(race.race);
    sim_host_reset();
    vq_host host = sim_host_record();
    if (plugin.apply(&host) != 1) return fail("VQ_Apply refused the game");
    if (race.has_race_start) sim_game_race_setup(0);
    // The game's replay is written once: what is timed is the plug-in's part.
    sim_game_set_save_callback(nullptr);

    std::vector<double> autosave_medians, copy_medians, ratios;
    for (uint32_t r = 0; r < repetitions; ++r) {
        std::vector<double> autosave_us, copy_us;
        for (uint32_t i = 0; i < rounds; ++i) {
            sim_host_log_lines.clear();
            double t0 = now_us();
            sim_game_save_replay(0);
            double t1 = now_us();
            BOOL copied = CopyFileA(bench_replay_file, bench_plain_copy, FALSE);
            double t2 = now_us();
            if (!copied) return fail("the plain copy failed");
            if (sim_host_log_lines.size() != 1 ||
                sim_host_log_lines[0].find("(type=") == std::string::npos) {
                return fail("the autosave did not save: " +
                            (sim_host_log_lines.empty() ? "" : sim_host_log_lines.back()));
            }
            autosave_us.push_back(t1 - t0);
            copy_us.push_back(t2 - t1);
        }
        autosave_medians.push_back(median(autosave_us));
        copy_medians.push_back(median(copy_us));
        ratios.push_back(autosave_medians.back() / copy_medians.back());
        printf("repetition %u: autosave %.1f us, copy %.1f us, ratio %.3f\n", r + 1,
               autosave_medians.back(), copy_medians.back(), ratios.back());
    }
    printf("median of %u repetitions of %u rounds: autosave %.1f us, copy %.1f us, ratio %.3f\n",
           repetitions, rounds, median(autosave_medians), median(copy_medians), median(ratios));

    // One more save, counted.
    reset_counts();
    sim_host_log_lines.clear();
    sim_game_save_replay(0);
    uint32_t total = 0;
    printf("KERNEL32 calls of one autosave (Record = 1, ClearIp = 1):");
    for (size_t i = 0; i < g_counted_count; ++i) {
        if (g_counted[i].calls == 0) continue;
        printf(" %s %u", g_counted[i].name.c_str(), g_counted[i].calls);
        total += g_counted[i].calls;
    }
    printf("; total %u\n", total);
    for (const std::string &line : sim_host_log_lines) printf("%s\n", line.c_str());

    sim_leave_game_folder(previous);
    return 0;
}
