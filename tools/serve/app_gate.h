// The gate hooked up to the server: every request's head is judged
// (serve/request_rules.h) before any handler runs, its form after its body
// is read, and each route of the table is registered behind it in one loop.
#pragma once

#include "serve/app_session.h"
#include "serve/http_server.h"

void ra_add_gated_routes(ra_app &app, httplib::Server &server);
