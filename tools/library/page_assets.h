// The library page's style and script, made from tools/library/page.css and
// tools/library/page.js when the program is built (cmake/page_assets.cmake).
#pragma once

extern const char ra_page_style[];   // page.css, ended by a NUL
extern const char ra_page_script[];  // page.js, ended by a NUL
