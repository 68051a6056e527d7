# replay-autosave.exe on Wine: list, restore, prune, page, the double click
# and dropped replays, on a season of races in a game folder named beyond
# ASCII, with files held open by another Windows program (hold_file.exe of
# the mingw64 build). The season is played by the simulator below.
set(RA_COMPANION_SIM_EMULATOR "${CMAKE_CROSSCOMPILING_EMULATOR}")
set(RA_COMPANION_SIM $<TARGET_FILE:replay-autosave-sim>)
ra_wine_test(wine_companion bash ${CMAKE_CURRENT_LIST_DIR}/companion/companion.sh
             "${RA_COMPANION_SIM_EMULATOR}" ${RA_COMPANION_SIM})
