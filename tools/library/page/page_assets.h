// The library page's style and scripts, and the library app's script, made
// from tools/library/page/page.css, chart.js, page.js, app.js and friends.js when the program
// is built (cmake/page_assets.cmake).
#pragma once

extern const char ra_page_style[];           // page.css, ended by a NUL
extern const char ra_page_script[];          // page.js, ended by a NUL
extern const char ra_page_chart_script[];    // chart.js (the lap charts), ended by a NUL
extern const char ra_page_app_script[];      // app.js (the library app), ended by a NUL
extern const char ra_page_friends_script[];  // friends.js (the app's Friends view), ended by a NUL
