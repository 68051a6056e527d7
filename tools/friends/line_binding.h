// Whether a friend's record line and the replay that came with it are of one
// race: the plug-in writes the digest of each saved copy, as a share sends
// it, into the line (autosave/replay_digest.cpp), and a share's replay is
// those very bytes. A match shows that the line was written for that replay,
// not that its times are true: the replay is the evidence, and only
// watching it checks a lap.
#pragma once

#include <stdint.h>

#include <string>

#include "library/record/record_reader.h"

// The digest of a replay's bytes as a share holds them, fed a piece at a time.
class ra_shared_digest {
public:
    void add(const char *data, size_t size);
    // 32 lower-case hex digits.
    std::string hex() const;

private:
    std::string head_;  // the leading bytes the digest covers
    uint64_t size_ = 0;
};

// The digest the line states, or "" for a line of an older record without one.
std::string ra_line_digest(const ra_record &line);
