# The library app of the Windows program (the mingw64 build's .exe on Wine)
# served to the Linux Chromium: Watch, Keep, a new race without reload,
# Tidy and the details work there as on Linux, the Tidy preview being what
# the same program's prune says (tests/cli/serve/browser_test.sh). The game
# lies where a player's would, on Wine's drive C, so that the page shows the
# Windows path C:\Games\Racing: its screenshot, test-artifacts/serve-wine.png,
# is the guide's docs/library-app.png.
ra_wine_test(wine_serve_in_browser
             bash ${CMAKE_SOURCE_DIR}/tests/cli/serve/browser_test.sh
             "${CMAKE_CROSSCOMPILING_EMULATOR}" $<TARGET_FILE:replay-autosave-sim>
             $<TARGET_FILE:replay-autosave> ${RA_TEST_SCRATCH}/wine/serve
             ${CMAKE_BINARY_DIR}/test-artifacts ${RA_MINGW64_BUILD}/src/replay-autosave.exe
             ${RA_WINE_ROOT}/prefix/drive_c/Games/Racing)

# The Windows program against other programs of the same computer: without
# the address's token nothing answers, nothing larger than the caps is read
# (a flood once ended it with std::bad_alloc), and strangers' connections
# never keep the browser waiting (tests/cli/serve/hostile_test.sh).
ra_wine_test(wine_serve_refuses_other_programs
             bash ${CMAKE_SOURCE_DIR}/tests/cli/serve/hostile_test.sh
             "${CMAKE_CROSSCOMPILING_EMULATOR}" $<TARGET_FILE:replay-autosave-sim>
             $<TARGET_FILE:replay-autosave> ${RA_TEST_SCRATCH}/wine/hostile
             ${RA_MINGW64_BUILD}/src/replay-autosave.exe)

# The Windows program's request rules and actions over plain HTTP, as on
# Linux but for what only Linux has (tests/cli/serve/http_test.sh).
ra_wine_test(wine_serve_http_rules_and_actions
             bash ${CMAKE_SOURCE_DIR}/tests/cli/serve/http_test.sh
             "${CMAKE_CROSSCOMPILING_EMULATOR}" $<TARGET_FILE:replay-autosave-sim>
             $<TARGET_FILE:replay-autosave> ${RA_TEST_SCRATCH}/wine/http
             ${RA_MINGW64_BUILD}/src/replay-autosave.exe)
