// The library app's handlers, by area, as the route table (serve/route_table.cpp)
// names them. Each reads its form, does its work on the app's state and
// answers; the gate has let the request on before any of them runs.
#pragma once

#include "serve/app_session.h"
#include "serve/http_server.h"

// A handler works on the request's snapshot (serve/app_session.h), taken
// before it runs.
using ra_route_handler = void (*)(ra_app &app, const ra_snapshot &now, const httplib::Request &req,
                                  httplib::Response &res);
// A route that takes its body itself, a file, without the library's lock.
using ra_upload_handler = void (*)(ra_app &app, const httplib::Request &req, httplib::Response &res,
                                   const httplib::ContentReader &read);

// The pages and the library's reads (serve/read_routes.cpp).
void ra_serve_page(ra_app &app, const ra_snapshot &now, const httplib::Request &req,
                   httplib::Response &res);
void ra_serve_race_shell(ra_app &app, const ra_snapshot &now, const httplib::Request &req,
                         httplib::Response &res);
void ra_serve_race(ra_app &app, const ra_snapshot &now, const httplib::Request &req,
                   httplib::Response &res);
void ra_serve_rows(ra_app &app, const ra_snapshot &now, const httplib::Request &req,
                   httplib::Response &res);
void ra_serve_facts(ra_app &app, const ra_snapshot &now, const httplib::Request &req,
                    httplib::Response &res);
void ra_serve_chart(ra_app &app, const ra_snapshot &now, const httplib::Request &req,
                    httplib::Response &res);
void ra_serve_state(ra_app &app, const ra_snapshot &now, const httplib::Request &req,
                    httplib::Response &res);
// /state and /api/facts while a rebuild of the index holds the library.
void ra_answer_indexing(ra_app &app, const ra_snapshot &now, const httplib::Request &req,
                        httplib::Response &res);

// The actions on the library's replays (serve/action_routes.cpp).
void ra_serve_watch(ra_app &app, const ra_snapshot &now, const httplib::Request &req,
                    httplib::Response &res);
void ra_serve_keep(ra_app &app, const ra_snapshot &now, const httplib::Request &req,
                   httplib::Response &res);
void ra_serve_unkeep(ra_app &app, const ra_snapshot &now, const httplib::Request &req,
                     httplib::Response &res);
void ra_serve_tidy(ra_app &app, const ra_snapshot &now, const httplib::Request &req,
                   httplib::Response &res);
void ra_serve_remove(ra_app &app, const ra_snapshot &now, const httplib::Request &req,
                     httplib::Response &res);
void ra_serve_alias(ra_app &app, const ra_snapshot &now, const httplib::Request &req,
                    httplib::Response &res);

// Friends: their view, the boards, shares and cards in and out
// (serve/friends_routes.cpp).
void ra_serve_friends(ra_app &app, const ra_snapshot &now, const httplib::Request &req,
                      httplib::Response &res);
void ra_serve_friend_races(ra_app &app, const ra_snapshot &now, const httplib::Request &req,
                           httplib::Response &res);
void ra_serve_leaderboard(ra_app &app, const ra_snapshot &now, const httplib::Request &req,
                          httplib::Response &res);
// Takes its own snapshot of the settings once the file is in: it runs
// without the library's lock.
void ra_serve_import(ra_app &app, const httplib::Request &req, httplib::Response &res,
                     const httplib::ContentReader &read);
void ra_serve_import_progress(ra_app &app, const ra_snapshot &now, const httplib::Request &req,
                              httplib::Response &res);
void ra_serve_import_cancel(ra_app &app, const ra_snapshot &now, const httplib::Request &req,
                            httplib::Response &res);
void ra_serve_share(ra_app &app, const ra_snapshot &now, const httplib::Request &req,
                    httplib::Response &res);
void ra_serve_card(ra_app &app, const ra_snapshot &now, const httplib::Request &req,
                   httplib::Response &res);
void ra_serve_remove_friend(ra_app &app, const ra_snapshot &now, const httplib::Request &req,
                            httplib::Response &res);
