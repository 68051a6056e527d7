# The Windows simulator's command line on Wine (32-bit, as the game is):
# what it cannot do is refused with a message and status 2, as the Linux
# simulator refuses a bad command line. Wine's drive Z: is the host's root.
set(win_sim ${RA_MINGW_BUILD}/sim/replay-autosave-sim.exe)
string(REPLACE "/" "\\" win_examples "Z:${CMAKE_SOURCE_DIR}/examples")
set(win_expect bash ${CMAKE_SOURCE_DIR}/tests/cli/simulator/expect.sh)

# The system's clock is not ours to set.
ra_wine32_test(wine_sim_refuses_clock
             ${win_expect} 2 "--clock cannot be used on Windows: the saves take the system's local time"
             -- ${RA_WINE32_LOADER} ${win_sim} --game-dir . --race ${win_examples}\\race.ini
             --clock 2026-03-07T21:05:09)
# A file that is no DLL: the system's loader refuses it, and the message
# names the file and the error.
ra_wine32_test(wine_sim_plugin_not_a_dll
             ${win_expect} 2 "cannot load the plug-in .*race[.]ini [(]error [0-9]+[)]"
             -- ${RA_WINE32_LOADER} ${win_sim} --plugin ${win_examples}\\race.ini --game-dir .
             --race ${win_examples}\\race.ini)
