# replay-autosave.exe on Wine sharing and importing between two players'
# seasons (played by the simulator of this build), into Friends\Łukasz, a
# folder whose name the Western code page cannot spell, then the
# leaderboard and a friend's replay watched.
ra_wine_test(wine_friends bash ${CMAKE_CURRENT_LIST_DIR}/friends/friends.sh
             "${CMAKE_CROSSCOMPILING_EMULATOR}" $<TARGET_FILE:replay-autosave-sim>)
