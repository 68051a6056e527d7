# Command-line tests of replay-autosave check: exit statuses, what it prints,
# --quiet, and the INI next to the program. Included by tests/CMakeLists.txt
# to register the tests; each test runs this same file as a script (cmake -P)
# with CASE naming what to check. The program runs under the emulator where
# the build has one.
if(NOT CMAKE_SCRIPT_MODE_FILE)
  set(check_work ${RA_TEST_SCRATCH}/cli-check-tool)
  file(MAKE_DIRECTORY ${check_work})
  foreach(case example_ini warnings quiet_warnings quiet_example bad_command_lines race_file
          ini_beside_program)
    add_test(NAME check_tool_cli_${case}
             COMMAND ${CMAKE_COMMAND} -DCASE=${case}
                     -DTOOL=$<TARGET_FILE:replay-autosave>
                     "-DEMULATOR=${CMAKE_CROSSCOMPILING_EMULATOR}"
                     -DSOURCE_DIR=${CMAKE_SOURCE_DIR} -DWORK=${check_work}/${case}
                     -P ${CMAKE_CURRENT_LIST_FILE})
  endforeach()
  return()
endif()

# --- Script mode: one case.
cmake_minimum_required(VERSION 3.21)

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
# A copy in WORK: the plug-in reads an INI by a path of at most 259
# characters, which the checkout's own could pass.
file(COPY ${SOURCE_DIR}/examples/replay_autosave.ini DESTINATION ${WORK})
set(example_ini ${WORK}/replay_autosave.ini)

# Runs the check with the given arguments in WORK; sets rc, out, err.
function(run_tool)
  execute_process(COMMAND ${EMULATOR} ${TOOL} check ${ARGN} WORKING_DIRECTORY ${WORK}
                  RESULT_VARIABLE status OUTPUT_VARIABLE stdout ERROR_VARIABLE stderr)
  set(rc "${status}" PARENT_SCOPE)
  set(out "${stdout}" PARENT_SCOPE)
  set(err "${stderr}" PARENT_SCOPE)
endfunction()

include(${CMAKE_CURRENT_LIST_DIR}/support/expect.cmake)

# Five mistakes, one warning each.
set(warning_ini "[ReplayAutosave]
sr_nme = %date%_%time%
st_name = %Track%_%time%
sk_name = %date%_%track%
hc_name = %name5%
Dir = D:\\Replays\\a-folder-name-that-makes-the-directory-too-long
")

if(CASE STREQUAL "example_ini")
  run_tool(${example_ini})
  expect_rc(0)
  expect_in("${out}" "Enabled    1  \\(on\\)")
  expect_in("${out}" "\n  SR  Name     SaveData\\\\Saves\\\\2026-03-07_21-05-09_SR_ALPINE_3L_1[.]rp4\n")
  expect_in("${out}" "\n  CT  Name     SaveData\\\\Saves\\\\2026-03-07_21-05-09_CT_ALPINE_3L_1[.]rp4\n")
  expect_in("${out}" "\nNo warnings[.]\n$")

elseif(CASE STREQUAL "warnings")
  file(WRITE ${WORK}/warn.ini "${warning_ini}")
  run_tool(warn.ini)
  expect_rc(1)
  expect_in("${out}" "Settings the plug-in reads from warn[.]ini:")
  expect_in("${out}" "\nwarning: sr_nme \\(line 2\\): the plug-in does not read this key; did you mean sr_name[?]\n")
  expect_in("${out}" "\nwarning: st_name: unknown token %Track%")
  expect_in("${out}" "\nwarning: sk_name: the name is the same for every race")
  expect_in("${out}" "\nwarning: hc_name: the name can come out empty")
  expect_in("${out}" "\nwarning: Dir: 58 characters")
  # The plug-in names files in the system's code page (Windows-1252 here):
  # a name it spells is read, one it cannot spell never is, and check says so.
  file(WRITE "${WORK}/Réglages.ini" "${warning_ini}")
  run_tool(Réglages.ini)
  expect_rc(1)
  expect_in("${out}" "Settings the plug-in reads from Réglages[.]ini:")
  expect_in("${out}" "\nwarning: hc_name: the name can come out empty")
  file(WRITE "${WORK}/ustawienia Łódź.ini" "${warning_ini}")
  run_tool("ustawienia Łódź.ini")
  expect_rc(2)
  expect_in("${err}" "cannot check ustawienia Łódź[.]ini: its path cannot be spelled in this system's code page")
  # So is one in a folder it cannot spell.
  file(MAKE_DIRECTORY "${WORK}/Gry Łukasza")
  file(WRITE "${WORK}/Gry Łukasza/warn.ini" "${warning_ini}")
  run_tool("Gry Łukasza/warn.ini")
  expect_rc(2)
  expect_in("${err}" "cannot check Gry Łukasza/warn[.]ini: its path cannot be spelled")

elseif(CASE STREQUAL "quiet_warnings")
  file(WRITE ${WORK}/warn.ini "${warning_ini}")
  run_tool(--quiet warn.ini)
  expect_rc(1)
  # Nothing but the warnings, one per line.
  expect_in("${out}" "^(warning: [^\n]*\n)+$")
  string(REGEX MATCHALL "\n" newlines "${out}")
  list(LENGTH newlines count)
  if(NOT count EQUAL 5)
    message(FATAL_ERROR "want 5 lines, got ${count}:\n${out}")
  endif()

elseif(CASE STREQUAL "quiet_example")
  run_tool(-q ${example_ini})
  expect_rc(0)
  if(NOT out STREQUAL "")
    message(FATAL_ERROR "want no output, got:\n${out}")
  endif()

elseif(CASE STREQUAL "bad_command_lines")
  run_tool(--bogus ${example_ini})
  expect_rc(2)
  expect_in("${err}" "unknown option --bogus\nusage: ")
  # No settings file is no mistake: the plug-in runs on its defaults.
  run_tool(${WORK}/missing.ini)
  expect_rc(0)
  expect_in("${out}" "^There is no [^\n]*missing[.]ini: the plug-in runs on its defaults")
  expect_in("${out}" "\n  ClearIp    1  \\(not set: the default\\)")
  run_tool(${WORK})
  expect_rc(2)
  expect_in("${err}" "cannot read")
  run_tool(${example_ini} ${example_ini})
  expect_rc(2)
  expect_in("${err}" "more than one settings file")
  run_tool(${example_ini} --race)
  expect_rc(2)
  expect_in("${err}" "--race needs a file")
  file(WRITE ${WORK}/bad_race.ini "[game]\nlaps = three\n")
  run_tool(--race bad_race.ini ${example_ini})
  expect_rc(2)
  expect_in("${err}" "bad_race[.]ini:2: 'laps' needs a number")
  run_tool(--help)
  expect_rc(0)
  expect_in("${out}" "^usage: replay-autosave check")

elseif(CASE STREQUAL "race_file")
  file(WRITE ${WORK}/race.ini "[game]\nlaps = 5\ntrack_index = 1\n[track_folders]\n1 = Dune\n")
  file(WRITE ${WORK}/names.ini "[ReplayAutosave]\nName = %track%_%laps%L_%date%_%time%\n")
  run_tool(--race race.ini names.ini)
  expect_rc(0)
  expect_in("${out}" "\\(race file: track DUNE, 5 laps, 0 cars, saved 2026-03-07 21:05:09\\)")
  expect_in("${out}" "\n  SR  Name     SaveData\\\\Saves\\\\DUNE_5L_2026-03-07_21-05-09[.]rp4\n")

elseif(CASE STREQUAL "ini_beside_program")
  # A copy of the program with its own INI: read without naming it.
  file(MAKE_DIRECTORY ${WORK}/game)
  file(COPY ${TOOL} DESTINATION ${WORK}/game)
  get_filename_component(tool_name ${TOOL} NAME)
  file(WRITE ${WORK}/game/replay_autosave.ini "[ReplayAutosave]\nName = beside_%date%_%time%\n")
  set(TOOL ${WORK}/game/${tool_name})
  run_tool()
  expect_rc(0)
  expect_in("${out}" "reads from [^\n]*game/replay_autosave[.]ini:")
  expect_in("${out}" "\n  SR  Name     SaveData\\\\Saves\\\\beside_2026-03-07_21-05-09[.]rp4\n")

else()
  message(FATAL_ERROR "unknown CASE ${CASE}")
endif()
