#include "serve/import_progress.h"

namespace {

const char *ra_stage_name(ra_import_stage stage) {
    switch (stage) {
    case ra_import_stage::checking:
        return "checking";
    case ra_import_stage::writing:
        return "writing";
    case ra_import_stage::placing:
        return "placing";
    }
    return "";
}

}  // namespace

bool ra_import_run::begin() {
    std::lock_guard<std::mutex> hold(lock_);
    if (running_) return false;
    running_ = true;
    cancelled_ = false;
    stage_ = "receiving";
    done_ = total_ = 0;
    return true;
}

void ra_import_run::end() {
    std::lock_guard<std::mutex> hold(lock_);
    running_ = false;
    cancelled_ = false;
}

bool ra_import_run::received(uint64_t done, uint64_t total) {
    std::lock_guard<std::mutex> hold(lock_);
    stage_ = "receiving";
    done_ = done;
    total_ = total;
    return !cancelled_;
}

bool ra_import_run::tell(ra_import_stage stage, uint64_t done, uint64_t total) {
    std::lock_guard<std::mutex> hold(lock_);
    stage_ = ra_stage_name(stage);
    done_ = done;
    total_ = total;
    return !cancelled_;
}

bool ra_import_run::cancel() {
    std::lock_guard<std::mutex> hold(lock_);
    if (!running_) return false;
    cancelled_ = true;
    return true;
}

nlohmann::json ra_import_run::json() const {
    std::lock_guard<std::mutex> hold(lock_);
    if (!running_) return {{"running", false}};
    return {{"running", true},
            {"stage", stage_},
            {"done", done_},
            {"total", total_},
            {"cancelling", cancelled_}};
}
