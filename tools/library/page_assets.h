// The library page's style and script, and the library app's script, made
// from tools/library/page.css, page.js and app.js when the program is built
// (cmake/page_assets.cmake).
#pragma once

extern const char ra_page_style[];       // page.css, ended by a NUL
extern const char ra_page_script[];      // page.js, ended by a NUL
extern const char ra_page_app_script[];  // app.js (the library app), ended by a NUL
