// The library app's routes, one list: each row is the gate's rule for the
// route and the handler that answers it. A new route is its handler and
// one row of serve/route_table.cpp. The page's scripts take the routes'
// names, paths and parameters from this table too (raRoutes).
#pragma once

#include <stddef.h>

#include "serve/request_rules.h"
#include "serve/route_handlers.h"

struct ra_route {
    // The route's name in the page's scripts, where cmake/page_assets.cmake
    // gives them this table as raRoutes: name, path and parameters.
    const char *name;
    ra_route_rule rule;
    // The parameters its query or form may carry, by name, between spaces.
    const char *params;
    // What the handler works on, read once before it runs; a route that
    // names a replay reads the library, where the gate finds the name.
    ra_route_reads reads;
    ra_route_handler handler;
    // Answered with the progress of a rebuild of the index while one runs.
    bool tells_indexing = false;
    // Instead of handler: takes the body itself, a file, without the library's lock.
    ra_upload_handler upload = nullptr;
};

extern const ra_route ra_routes[];
extern const size_t ra_route_count;

// The gate's rules, in the table's order.
const ra_route_rule *ra_route_rules();
