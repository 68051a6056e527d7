# The library page of replay-autosave in a real browser: a season of races
# played through the simulator (so only the i386 build, which has it), the
# page made from the game folder, and headless Chromium checking what it
# built. The screenshot and the page are kept in test-artifacts/ of the build.
if(RA_BUILD STREQUAL "i386")
  set(page_work ${RA_TEST_SCRATCH}/cli-page)
  file(MAKE_DIRECTORY ${page_work})
  add_test(NAME page_browser_season
           COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/page/browser_test.sh
                   "${CMAKE_CROSSCOMPILING_EMULATOR}" $<TARGET_FILE:replay-autosave-sim>
                   $<TARGET_FILE:replay-autosave> ${page_work}
                   ${CMAKE_BINARY_DIR}/test-artifacts)
  set_tests_properties(page_browser_season PROPERTIES TIMEOUT 600)
endif()

# The library app (serve) over plain HTTP: its request rules and actions.
if(RA_BUILD STREQUAL "i386")
  set(serve_work ${RA_TEST_SCRATCH}/cli-serve)
  file(MAKE_DIRECTORY ${serve_work})
  add_test(NAME serve_http_rules_and_actions
           COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/serve/http_test.sh
                   "${CMAKE_CROSSCOMPILING_EMULATOR}" $<TARGET_FILE:replay-autosave-sim>
                   $<TARGET_FILE:replay-autosave> ${serve_work})
  set_tests_properties(serve_http_rules_and_actions PROPERTIES TIMEOUT 300)
  # The same app against other programs of this computer: token, caps, floods.
  add_test(NAME serve_refuses_other_programs
           COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/serve/hostile_test.sh
                   "${CMAKE_CROSSCOMPILING_EMULATOR}" $<TARGET_FILE:replay-autosave-sim>
                   $<TARGET_FILE:replay-autosave> ${serve_work}/hostile)
  set_tests_properties(serve_refuses_other_programs PROPERTIES TIMEOUT 300)
endif()
if(RA_BUILD STREQUAL "i386")
  add_test(NAME serve_in_browser_watch_keep_new_race_details
           COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/serve/browser_test.sh
                   "${CMAKE_CROSSCOMPILING_EMULATOR}" $<TARGET_FILE:replay-autosave-sim>
                   $<TARGET_FILE:replay-autosave> ${serve_work}/browser
                   ${CMAKE_BINARY_DIR}/test-artifacts)
  set_tests_properties(serve_in_browser_watch_keep_new_race_details PROPERTIES TIMEOUT 300)
endif()
# The same app on a long career with no index yet: it opens at once and
# says how far the index came.
if(RA_BUILD STREQUAL "i386")
  add_test(NAME serve_opens_before_its_index_is_made
           COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/serve/opens_at_once.sh
                   "${CMAKE_CROSSCOMPILING_EMULATOR}" $<TARGET_FILE:replay-autosave>
                   ${serve_work}/opens)
  set_tests_properties(serve_opens_before_its_index_is_made PROPERTIES TIMEOUT 300)
endif()
# The same app and the static page by keyboard, in the dark and at a
# phone's width, checked by axe-core.
if(RA_BUILD STREQUAL "i386")
  add_test(NAME serve_a11y_keyboard_dark_phone_axe
           COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/serve/a11y_test.sh
                   "${CMAKE_CROSSCOMPILING_EMULATOR}" $<TARGET_FILE:replay-autosave-sim>
                   $<TARGET_FILE:replay-autosave> ${serve_work}/a11y
                   ${CMAKE_BINARY_DIR}/test-artifacts)
  set_tests_properties(serve_a11y_keyboard_dark_phone_axe PROPERTIES TIMEOUT 300)
endif()
