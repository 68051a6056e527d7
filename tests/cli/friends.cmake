# Sharing with friends: two seasons played through the simulator (so only
# the i386 build, which has it), a share and a card from one player imported
# by the other, the leaderboard and head to head.
if(RA_BUILD STREQUAL "i386")
  add_test(NAME friends_share_import_leaderboard
           COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/friends/seasons_test.sh
                   "${CMAKE_CROSSCOMPILING_EMULATOR}" $<TARGET_FILE:replay-autosave-sim>
                   $<TARGET_FILE:replay-autosave> ${RA_TEST_SCRATCH}/cli-friends)
  set_tests_properties(friends_share_import_leaderboard PROPERTIES TIMEOUT 300)
endif()
