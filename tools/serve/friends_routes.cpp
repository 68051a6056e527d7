// The library app's Friends: their view and races, the boards, a share or
// a card imported (its bytes, never a path) or made and sent as a download,
// and a friend removed.
#include <fstream>
#include <memory>

#include "actions/import_action.h"
#include "actions/remove_action.h"
#include "actions/share_action.h"
#include "friends/import.h"
#include "friends/leaderboard.h"
#include "friends/share_file.h"
#include "friends/sharing.h"
#include "library/text/html_text.h"
#include "library/text/local_time.h"
#include "platform/game_paths.h"
#include "serve/app_answers.h"
#include "serve/friends_api.h"
#include "serve/route_handlers.h"
#include "serve/upload_file.h"

namespace fs = std::filesystem;

// GET /api/friends: the Friends view, whole (serve/friends_api.h).
void ra_serve_friends(ra_app &, const ra_snapshot &now, const httplib::Request &,
                      httplib::Response &res) {
    if (!now.have_setup) return ra_answer(res, 500, now.error);
    ra_answer_json(res, ra_friends_json(now.setup.dir));
}

// GET /api/friend-races?friend=&offset=&limit=: a page of a friend's races.
void ra_serve_friend_races(ra_app &, const ra_snapshot &now, const httplib::Request &req,
                           httplib::Response &res) {
    std::string error;
    nlohmann::json answer;
    if (!now.have_setup) return ra_answer(res, 500, now.error);
    if (!ra_friend_races_json(
            now.setup.dir, req.get_param_value("friend"), ra_count_param(req, "offset", 0),
            ra_count_param(req, "limit", ra_friend_races_page), &answer, &error)) {
        return ra_answer(res, 404, error);
    }
    ra_answer_json(res, answer);
}

// GET /api/leaderboard?track=&type=: the boards of one track and type.
void ra_serve_leaderboard(ra_app &, const ra_snapshot &now, const httplib::Request &req,
                          httplib::Response &res) {
    if (!now.have_setup) return ra_answer(res, 500, now.error);
    const ra_leaderboard board = ra_make_leaderboard(now.setup.dir, req.get_param_value("track"),
                                                     req.get_param_value("type"));
    ra_answer_json(res, {{"boards", ra_boards_json(board)}, {"total", board.boards.size()}});
}

// POST /import?name=: the bytes of the share or card the player picked or
// dropped (name= is its name, for the answer alone), never a path. They go
// to a private file of ours, counted against the share's cap as they come,
// and import reads that file; the file is deleted whatever happens. One
// import at a time; it runs without the library's lock, which it takes only
// to read the settings (the import has the lock of Friends\ for itself), so
// that the page is answered while it works, and tells its progress to
// GET /api/import, where POST /import/cancel stops it.
void ra_serve_import(ra_app &app, const httplib::Request &req, httplib::Response &res,
                     const httplib::ContentReader &read) {
    if (req.is_multipart_form_data()) {
        return ra_refuse_action(res, "an import sends the file itself, not a form");
    }
    if (!app.import.begin()) {
        return ra_refuse_action(res,
                                "another import is under way; wait for it to end, or cancel it");
    }
    struct ra_import_ends {
        ra_import_run &run;
        ~ra_import_ends() { run.end(); }
    } ends{app.import};
    ra_upload_file upload;
    std::string why;
    if (!upload.make(ra_share_extension, &why)) {
        return ra_refuse_action(res, "cannot keep the file for the import: " + why);
    }
    const uint64_t length = req.get_header_value_u64("Content-Length");
    uint64_t got = 0;
    bool too_big = false, kept = true, cancelled = false;
    read([&](const char *data, size_t size) {
        got += size;
        too_big = got > ra_share_max_bytes;
        cancelled = !app.import.received(got, length);
        kept = !too_big && !cancelled && upload.write(data, size, &why);
        return kept;
    });
    if (cancelled) return ra_refuse_action(res, ra_import_cancelled);
    if (too_big) {
        return ra_refuse_action(res, "this file is bigger than any share; nothing was imported");
    }
    if (!kept || !upload.finish(&why)) {
        return ra_refuse_action(
            res, "cannot keep the file for the import: " + why + "; nothing was imported");
    }
    ra_snapshot now;
    {
        std::lock_guard<std::mutex> hold(app.library);
        now = ra_take_snapshot(app, ra_route_reads::settings);
    }
    if (!now.have_setup) return ra_refuse_action(res, now.error);
    // The player knows the file by the name they picked, not by ours.
    const std::string name = req.get_param_value("name");
    const ra_import_said imported =
        ra_import_action(now.setup, upload.path(), name.empty() ? "the file you picked" : name,
                         [&app](ra_import_stage stage, uint64_t done, uint64_t total) {
                             return app.import.tell(stage, done, total);
                         });
    if (!imported.ok()) return ra_refuse_action(res, imported.problem);
    // One sentence on the page; each replay in its details.
    ra_import_said told = imported;
    told.said = ra_import_summary(imported.import) + "\n";
    ra_answer_action(res, told, {}, true,
                     {{"friend", ra_utf8_text(imported.import.sharer)},
                      {"changed", imported.import.changed},
                      {"details", ra_utf8_text(ra_import_details(imported.import))}});
}

// GET /api/import: the import under way, if any (serve/import_progress.h).
void ra_serve_import_progress(ra_app &app, const ra_snapshot &, const httplib::Request &,
                              httplib::Response &res) {
    ra_answer_json(res, app.import.json());
}

// POST /import/cancel: stops the import under way before it places anything.
void ra_serve_import_cancel(ra_app &app, const ra_snapshot &, const httplib::Request &,
                            httplib::Response &res) {
    if (!app.import.cancel()) return ra_refuse_action(res, "no import is under way");
    ra_output said;
    said.out = "The import is being cancelled.\n";
    ra_answer_action(res, ra_exit_ok, said, {}, false);
}

namespace {

// The share or card planned, then on confirm=1 written to a private file
// and sent as a download; without it, the privacy report alone.
void ra_answer_share(httplib::Response &res, const ra_share_said &planned, bool confirmed) {
    if (!planned.ok()) return ra_refuse_action(res, planned.problem);
    if (!confirmed) return ra_answer_action(res, planned, {}, false);
    auto upload = std::make_shared<ra_upload_file>();
    std::string why;
    if (!upload->make(planned.extension, &why)) {
        return ra_refuse_action(res, "cannot write the file: " + why);
    }
    // ra_write_share makes the file new: the private name is free again first.
    std::error_code ignored;
    upload->finish(&why);
    fs::remove(upload->path(), ignored);
    if (!ra_write_share(upload->path(), planned.plan.share, &why)) {
        return ra_refuse_action(res, "cannot write the file: " + why);
    }
    std::error_code failed;
    const uint64_t size = fs::file_size(upload->path(), failed);
    auto in = std::make_shared<std::ifstream>(upload->path(), std::ios::binary);
    if (failed || !*in) return ra_refuse_action(res, "cannot read the file just written");
    res.set_header("Content-Disposition",
                   ra_attachment_header(ra_share_file_name(planned),
                                        std::string("replays") + planned.extension));
    // Sent from the file a piece at a time; the file goes with the answer.
    res.set_content_provider(
        (size_t)size, "application/octet-stream",
        [in](size_t offset, size_t length, httplib::DataSink &sink) {
            // A piece of the file sent at once.
            const size_t piece_max = 64 * 1024;
            std::string piece(std::min(length, piece_max), '\0');
            in->seekg((std::streamoff)offset);
            if (!in->read(&piece[0], (std::streamsize)piece.size())) return false;
            return sink.write(piece.data(), piece.size());
        },
        // Closed before the file is deleted with `upload`: Windows deletes no open file.
        [upload, in](bool) { in->close(); });
}

}  // namespace

// POST /share: one replay of the list (file=), hide_names=1 for "Rival 1"...
void ra_serve_share(ra_app &, const ra_snapshot &now, const httplib::Request &req,
                    httplib::Response &res) {
    if (!now.have_setup) return ra_refuse_action(res, now.error);
    ra_answer_share(res,
                    ra_share_action(now.setup, {req.get_param_value("file")},
                                    req.get_param_value("hide_names") == "1"),
                    req.get_param_value("confirm") == "1");
}

// POST /card: the season card of the player's own races.
void ra_serve_card(ra_app &, const ra_snapshot &now, const httplib::Request &req,
                   httplib::Response &res) {
    if (!now.have_setup) return ra_refuse_action(res, now.error);
    ra_answer_share(res, ra_card_action(now.setup), req.get_param_value("confirm") == "1");
}

// POST /friend/remove: friend=, a name the Friends view lists.
void ra_serve_remove_friend(ra_app &, const ra_snapshot &now, const httplib::Request &req,
                            httplib::Response &res) {
    if (!now.have_setup) return ra_refuse_action(res, now.error);
    ra_answer_action(res, ra_remove_friend_action(now.setup, req.get_param_value("friend")));
}
