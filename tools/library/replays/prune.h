// prune: keeps the save folder from growing for ever by removing the oldest
// of the replays the plug-in saved, by the player's policies. Only a file
// that a line of the record file names, under that name, directly in Dir,
// can go: a replay the player renamed or copied in, or that restore kept,
// always stays. The record file is only read, so its lines keep the history
// of every race.
#pragma once

#include <stdint.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "library/text/local_time.h"

// The policies; a replay goes when any policy given removes it.
struct ra_prune_policy {
    std::optional<uint64_t> keep;      // --keep: this many of the newest stay
    std::optional<uint64_t> max_size;  // --max-size: the newest that fit in these bytes stay
    std::optional<ra_time> before;     // --older-than: replays saved before this go
    // With apply: remove only when what would go is what a preview showed,
    // its ra_prune_plan; a race saved or a mark changed since makes it
    // another, and then nothing is removed.
    std::optional<std::string> plan;
};

// One replay the plug-in saved: a candidate for removal.
struct ra_prune_candidate {
    std::string file;                  // name in Dir
    ra_time saved;                     // saved time of its record line
    uint64_t size = 0;                 // bytes
    std::vector<std::string> reasons;  // why it goes, one per policy; empty: it stays
    std::string not_removed;           // it went, yet was not removed: why
};

// The replays that would go (those with reasons), as one short text: the
// digest of their names and sizes in order. The same plan, the same replays.
std::string ra_prune_plan(const std::vector<ra_prune_candidate> &candidates);

// Fills the reasons of the candidates, which are newest first.
void ra_prune_decide(const ra_prune_policy &policy, std::vector<ra_prune_candidate> *candidates);

// SIZE as --max-size takes it: digits, optionally followed by K, M or G in
// either case (1024-based), which may be followed by B and follow one blank
// ("2G", "2GB", "2 GB"). False for anything else, or for more than 2^64-1.
bool ra_parse_size(const std::string &text, uint64_t *bytes);

// A number as --keep and --older-than take it: digits only. False for
// anything else, or for more than 2^64-1.
bool ra_parse_count(const std::string &text, uint64_t *count);

// Bytes as Windows shows sizes (1024-based): "950 bytes", "4.2 MB".
std::string ra_format_size(uint64_t bytes);

// How prune removes files; the build's own (remove.h) unless a test gives another.
using ra_remover = std::vector<std::string> (*)(const std::vector<std::filesystem::path> &);

// What prune found in Dir, and with apply what it removed.
struct ra_prune_result {
    std::string error;                  // why prune stopped short: Dir, its marks or their lock
    std::vector<std::string> warnings;  // the record file's
    bool recorded = false;              // Dir has a record file; without it nothing can go
    std::vector<ra_prune_candidate> candidates;  // the plug-in's replays, newest first
    size_t unrecorded = 0;  // replays no line names (renamed, copied in or kept)
    size_t marked = 0;      // replays the player keeps
    bool applied = false;   // the replays with reasons were removed, or tried
    // Apply was refused: what would go is not the plan given.
    bool plan_changed = false;
};

// Prunes dir (shown as `shown` in the record's warnings): which of the
// plug-in's replays go by the policy, and with apply removes them, holding
// the keep marks' lock meanwhile. The job (and the app's Tidy through it)
// says what came of it.
ra_prune_result ra_prune_folder(const std::filesystem::path &dir, const std::string &shown,
                                const ra_prune_policy &policy, bool apply,
                                ra_remover remove = nullptr);
