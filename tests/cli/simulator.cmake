# Command-line tests of replay-autosave-sim: exit statuses and messages, and
# the shipped DLL behaving exactly as the plug-in linked in. Only the i386
# build has the simulator (it runs the game's x86 code). The scripts run the
# program under the emulator themselves, since ctest adds it only to
# commands that are targets.
if(RA_BUILD STREQUAL "i386")
  set(sim_cli ${CMAKE_CURRENT_LIST_DIR}/simulator)
  set(sim_work ${RA_TEST_SCRATCH}/cli-simulator)
  set(sim_examples ${CMAKE_SOURCE_DIR}/examples)
  set(sim_run ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:replay-autosave-sim>)
  set(sim_expect bash ${sim_cli}/expect.sh)
  file(MAKE_DIRECTORY ${sim_work})

  # The example race in the example game folder: two saves, each reported
  # with its name from the example settings, and exit status 0.
  add_test(NAME sim_cli_example_race
           COMMAND ${sim_expect} --game ${sim_work}/example ${sim_examples}
                   0 "SaveData.Saves.2026-03-07_21-05-09_SR_ALPINE_3L_2[.]rp4 [(]type=SR[)]$"
                   -- ${sim_run} --game-dir ${sim_work}/example --race ${sim_examples}/race.ini
                   --clock 2026-03-07T21:05:09 --saves 2)

  # A race file with an unknown key: status 2, and the message names the
  # file and the line.
  add_test(NAME sim_cli_bad_race_file_names_its_line
           COMMAND ${sim_expect} 2 "bad_race[.]ini:5: unknown key 'lapz' in \\[game\\]"
                   -- ${sim_run} --game-dir ${sim_work} --race ${sim_cli}/bad_race.ini)

  # Bad command lines: status 2 and the usage.
  add_test(NAME sim_cli_unknown_option
           COMMAND ${sim_expect} 2 "unknown option --lap"
                   -- ${sim_run} --game-dir ${sim_work} --race ${sim_examples}/race.ini --lap 3)
  add_test(NAME sim_cli_race_required
           COMMAND ${sim_expect} 2 "--game-dir and --race are required"
                   -- ${sim_run} --game-dir ${sim_work})
  add_test(NAME sim_cli_bad_clock
           COMMAND ${sim_expect} 2 "--clock must be YYYY-MM-DDTHH:MM:SS"
                   -- ${sim_run} --game-dir ${sim_work} --race ${sim_examples}/race.ini
                   --clock 2026-13-07T21:05:09)
  add_test(NAME sim_cli_missing_game_folder
           COMMAND ${sim_expect} 2 "cannot enter the game folder"
                   -- ${sim_run} --game-dir ${sim_work}/no-such-folder
                   --race ${sim_examples}/race.ini)
  # A file that is no DLL is refused with a message, never run.
  add_test(NAME sim_cli_plugin_not_a_dll
           COMMAND ${sim_expect} 2 "race[.]ini"
                   -- ${sim_run} --plugin ${sim_examples}/race.ini --game-dir ${sim_work}
                   --race ${sim_examples}/race.ini)

  # The shipped DLL prints the same lines and saves the same bytes as the
  # plug-in linked in. Fails (never skips) without the .vqp.
  add_test(NAME sim_cli_shipped_dll_same_as_linked
           COMMAND bash ${sim_cli}/same_output.sh "${CMAKE_CROSSCOMPILING_EMULATOR}"
                   $<TARGET_FILE:replay-autosave-sim> ${RA_VQP_PATH} ${sim_examples}
                   ${sim_work}/same-output)

  # Status 1 (VQ_Apply refusing) cannot be reached from the command line:
  # the simulator always hands a valid host record and an unpatched game.
endif()
