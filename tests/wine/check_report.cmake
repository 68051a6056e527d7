# The check of the players' program says the same on Windows (the mingw64
# build on Wine) as on Linux (this build's program on the stand-ins) for the
# example INI and the INIs in check_report/, which hold constructs that INI
# readers are known to read alike and that the check warns about; for the
# INIs in check_report/readers_differ/, which the two systems read
# differently, each says so and names its own system's reading.
ra_wine_test(wine_check_report
             bash ${CMAKE_CURRENT_LIST_DIR}/check_report/compare.sh
             $<TARGET_FILE:replay-autosave> ${CMAKE_SOURCE_DIR} ${CMAKE_CROSSCOMPILING_EMULATOR})
