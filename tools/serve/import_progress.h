// The app's import under way: one at a time, its progress as the Friends
// view shows it while the import works (the share's bytes received, its
// replays checked, written, placed), and the player's Cancel. The import
// itself runs in the request that brought the file; these are asked from
// other requests meanwhile, so everything here is behind its own lock.
#pragma once

#include <stdint.h>

#include <mutex>
#include <nlohmann/json.hpp>
#include <string>

#include "friends/import.h"

class ra_import_run {
public:
    // Starts an import; false while another runs.
    bool begin();
    // Ends it, whatever became of it.
    void end();
    // The bytes of the file received so far, of total (0: not told);
    // false once the player cancelled.
    bool received(uint64_t done, uint64_t total);
    // The import's progress (ra_import_progress); false once the player
    // cancelled.
    bool tell(ra_import_stage stage, uint64_t done, uint64_t total);
    // Asks the import under way to stop; false when none runs.
    bool cancel();
    // {running, stage, done, total, cancelling}: stage is
    // "receiving", "checking", "writing" or "placing".
    nlohmann::json json() const;

private:
    mutable std::mutex lock_;
    bool running_ = false;
    bool cancelled_ = false;
    std::string stage_;
    uint64_t done_ = 0, total_ = 0;
};
