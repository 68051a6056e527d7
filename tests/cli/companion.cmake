# Command-line tests of replay-autosave as players start it: replays dropped
# on it (watched or shared as the player chooses), and a double click (the
# INI next to it checked, then the ten newest replays), and keep and
# unkeep, which prune honours. Included by
# tests/CMakeLists.txt to register the tests; each test runs this same file
# as a script (cmake -P) with CASE naming what to check, on a copy of the
# program in a game folder of its own.
if(NOT CMAKE_SCRIPT_MODE_FILE)
  set(companion_work ${RA_TEST_SCRATCH}/cli-companion)
  file(MAKE_DIRECTORY ${companion_work})
  foreach(case dropped_replay double_click keep_marks index)
    add_test(NAME companion_cli_${case}
             COMMAND ${CMAKE_COMMAND} -DCASE=${case}
                     -DTOOL=$<TARGET_FILE:replay-autosave>
                     "-DEMULATOR=${CMAKE_CROSSCOMPILING_EMULATOR}"
                     -DWORK=${companion_work}/${case} -P ${CMAKE_CURRENT_LIST_FILE})
  endforeach()
  return()
endif()

# --- Script mode: one case.
cmake_minimum_required(VERSION 3.21)

file(REMOVE_RECURSE ${WORK})
set(game ${WORK}/game)
file(MAKE_DIRECTORY ${game}/Replays ${game}/SaveData/Saves)
file(COPY ${TOOL} DESTINATION ${game})
get_filename_component(tool_name ${TOOL} NAME)
set(TOOL ${game}/${tool_name})
file(WRITE ${game}/replay_autosave.ini "[ReplayAutosave]\nDir = SaveData\\Saves\n")
file(WRITE ${game}/Replays/replay.rp4 "the race just driven")
# Driven a while ago: a replay written moments ago may still be on its way
# into Dir, and restore leaves it alone.
execute_process(COMMAND touch -d "2026-03-08 19:30:00" ${game}/Replays/replay.rp4
                COMMAND_ERROR_IS_FATAL ANY)
file(WRITE ${game}/SaveData/Saves/a.rp4 "replay A")
file(WRITE ${game}/SaveData/Saves/replays.csv
     "file,saved,type,track,laps,source,best_lap_car1\r\n"
     "a.rp4,2026-03-07 21:05:09,SR,ALPINE,3,Replays\\replay.rp4,81.44\r\n")

# Runs the program with the given arguments and `input` as what the player
# types; sets rc, out, err.
function(run_tool input)
  file(WRITE ${WORK}/input "${input}")
  execute_process(COMMAND ${EMULATOR} ${TOOL} ${ARGN} WORKING_DIRECTORY ${WORK}
                  INPUT_FILE ${WORK}/input
                  RESULT_VARIABLE status OUTPUT_VARIABLE stdout ERROR_VARIABLE stderr)
  set(rc "${status}" PARENT_SCOPE)
  set(out "${stdout}" PARENT_SCOPE)
  set(err "${stderr}" PARENT_SCOPE)
endfunction()

include(${CMAKE_CURRENT_LIST_DIR}/support/expect.cmake)

function(expect_file path want)
  file(READ ${path} got)
  if(NOT got STREQUAL "${want}")
    message(FATAL_ERROR "${path} holds '${got}', want '${want}'")
  endif()
endfunction()

if(CASE STREQUAL "dropped_replay")
  # The window is closed instead of a choice: nothing changes.
  run_tool("" ${game}/SaveData/Saves/a.rp4)
  expect_rc(1)
  expect_in("${out}" "^W and Enter: the game plays this replay next time[.]\nS and Enter: share it")
  expect_in("${out}" "Nothing changed[.]\n$")
  expect_file(${game}/Replays/replay.rp4 "the race just driven")
  # Two replays cannot be watched at once.
  run_tool("w\n" ${game}/SaveData/Saves/a.rp4 ${game}/SaveData/Saves/a.rp4)
  expect_rc(1)
  expect_in("${out}" "^W: the game plays one replay at a time")
  expect_file(${game}/Replays/replay.rp4 "the race just driven")

  # Shared: the privacy report, then the share beside the replay (the
  # record names the player, as Record = 1 writes it).
  file(WRITE ${game}/SaveData/Saves/replays.csv
       "file,saved,type,track,laps,source,player,name1,best_lap_car1\r\n"
       "a.rp4,2026-03-07 21:05:09,SR,ALPINE,3,Replays\\replay.rp4,1,Ann,81.44\r\n")
  run_tool("s\n" ${game}/SaveData/Saves/a.rp4)
  expect_rc(0)
  expect_in("${out}" "\nWritten: [^\n]*SaveData/Saves/[^\n/]*[.]rpshare\n$")
  expect_file(${game}/Replays/replay.rp4 "the race just driven")

  run_tool("W\n" ${game}/SaveData/Saves/a.rp4)
  expect_rc(0)
  expect_in("${out}" "\nThe game will play a[.]rp4 when you next watch its replay")
  expect_in("${out}" "The replay it had is kept as [^\n]*kept_[-0-9_]+[.]rp4[.]\n$")
  expect_file(${game}/Replays/replay.rp4 "replay A")
  expect_file(${game}/SaveData/Saves/a.rp4 "replay A")

elseif(CASE STREQUAL "double_click")
  # Eleven replays more than the recorded one: the ten newest are listed.
  foreach(i RANGE 10 20)
    file(WRITE ${game}/SaveData/Saves/bare_${i}.rp4 "${i}")
    file(TOUCH_NOCREATE ${game}/SaveData/Saves/bare_${i}.rp4)
  endforeach()
  run_tool("")
  expect_rc(0)
  expect_in("${out}" "^Settings the plug-in reads from [^\n]*game/replay_autosave[.]ini:")
  expect_in("${out}" "\nNo warnings[.]\n\nReplays in [^\n]*SaveData/Saves, newest first:\n")
  expect_in("${out}" "\n[(]the 10 newest of 12; \"replay-autosave list\" shows them all[)]\n$")
  string(REGEX MATCHALL "bare_[0-9]+[.]rp4" listed "${out}")
  list(LENGTH listed count)
  if(NOT count EQUAL 10)
    message(FATAL_ERROR "want 10 replays listed, got ${count}:\n${out}")
  endif()

elseif(CASE STREQUAL "keep_marks")
  # Two races; prune --keep 0 would take both unless one is kept.
  file(WRITE ${game}/SaveData/Saves/b.rp4 "replay B")
  file(APPEND ${game}/SaveData/Saves/replays.csv
       "b.rp4,2026-03-08 21:05:09,SR,ALPINE,3,Replays\\replay.rp4,80.01\r\n")
  run_tool("" keep ${game}/SaveData/Saves/A.RP4)
  expect_rc(0)
  expect_in("${out}" "^a[.]rp4 is kept: prune never removes it[.]\n$")
  run_tool("" list)
  expect_in("${out}" "a[.]rp4  [(]kept by you[)]")
  run_tool("" prune --keep 0)
  expect_rc(0)
  expect_in("${out}" "b[.]rp4")
  expect_in("${out}" "Left alone: 1 replay you keep")
  if(out MATCHES " a[.]rp4")
    message(FATAL_ERROR "prune would remove the kept a.rp4:\n${out}")
  endif()
  run_tool("" unkeep a.rp4)
  expect_rc(0)
  expect_in("${out}" "^a[.]rp4 is no longer kept")
  run_tool("" prune --keep 0)
  expect_in("${out}" " a[.]rp4")
  # Only a replay the list shows, and only in Dir.
  run_tool("" keep nope.rp4)
  expect_rc(1)
  expect_in("${err}" "no replay nope[.]rp4 in [^\n]*; \"replay-autosave list\" shows their names")
  run_tool("" keep ${game}/Replays/replay.rp4)
  expect_rc(1)
  expect_in("${err}" "only the replays in the save folder can be marked")
  run_tool("" keep "")
  expect_rc(2)

elseif(CASE STREQUAL "index")
  # The library's index lives in Dir, but it is no replay: neither list nor
  # prune shows it, and deleted or damaged it changes no output.
  set(index ${game}/SaveData/Saves/replays.index)
  run_tool("" list)
  expect_rc(0)
  set(listed "${out}")
  if(NOT EXISTS ${index})
    message(FATAL_ERROR "list made no index in Dir")
  endif()
  run_tool("" prune --keep 0)
  expect_rc(0)
  foreach(shown "${listed}" "${out}" "${err}")
    if(shown MATCHES "replays[.]index")
      message(FATAL_ERROR "the index is shown:\n${shown}")
    endif()
  endforeach()
  file(REMOVE ${index})
  run_tool("" list)
  expect_rc(0)
  if(NOT out STREQUAL listed)
    message(FATAL_ERROR "list without its index differs:\n${out}")
  endif()
  file(WRITE ${index} "not a database at all")
  run_tool("" list)
  expect_rc(0)
  if(NOT out STREQUAL listed OR NOT err STREQUAL "")
    message(FATAL_ERROR "a damaged index changed list:\n${out}\n${err}")
  endif()

else()
  message(FATAL_ERROR "unknown CASE ${CASE}")
endif()
