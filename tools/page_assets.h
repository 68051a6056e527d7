// The library page's style and script, made from tools/page.css and
// tools/page.js when the program is built (cmake/page_assets.cmake).
#pragma once

extern const char ra_page_style[];       // page.css, ended by a NUL
extern const char ra_page_script[];      // page.js, ended by a NUL
extern const char ra_page_app_script[];  // app.js (the library app), ended by a NUL
