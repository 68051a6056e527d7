# The README's list of the companion's commands (section "The companion
# program") names the commands of the program's table, in its order: the
# names in "replay-autosave --help", which come from the rows. Included by
# tests/CMakeLists.txt to register the test, which runs this same file as a
# script (cmake -P).
if(NOT CMAKE_SCRIPT_MODE_FILE)
  add_test(NAME companion_readme_commands
           COMMAND ${CMAKE_COMMAND} -DTOOL=$<TARGET_FILE:replay-autosave>
                   "-DEMULATOR=${CMAKE_CROSSCOMPILING_EMULATOR}"
                   -DREADME=${CMAKE_SOURCE_DIR}/README.md -P ${CMAKE_CURRENT_LIST_FILE})
  return()
endif()

# --- Script mode.
cmake_minimum_required(VERSION 3.21)

execute_process(COMMAND ${EMULATOR} ${TOOL} --help RESULT_VARIABLE rc OUTPUT_VARIABLE help)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "--help: exit status ${rc}")
endif()
# Each command is a line of its own below "Subcommands:", up to the blank line.
string(REGEX MATCH "\nSubcommands:\n(([^\n]+\n)+)" listed "${help}")
string(REGEX MATCHALL "(^|\n)  [a-z]+ " help_lines "${CMAKE_MATCH_1}")
set(help_commands "")
foreach(line ${help_lines})
  string(STRIP "${line}" name)
  list(APPEND help_commands ${name})
endforeach()

# Each command is a bullet of its own, "- `NAME ...", between the section's
# heading and the next heading.
file(READ ${README} readme)
string(FIND "${readme}" "\n## The companion program\n" begin)
if(begin EQUAL -1)
  message(FATAL_ERROR "README.md has no section \"The companion program\"")
endif()
# From the heading's own line on, without the newline before it.
math(EXPR begin "${begin} + 1")
string(SUBSTRING "${readme}" ${begin} -1 section)
string(FIND "${section}" "\n## " end)
if(NOT end EQUAL -1)
  string(SUBSTRING "${section}" 0 ${end} section)
endif()
string(REGEX MATCHALL "\n- `[a-z]+[ `]" readme_lines "${section}")
set(readme_commands "")
foreach(line ${readme_lines})
  string(REGEX REPLACE "^\n- `([a-z]+).$" "\\1" name "${line}")
  list(APPEND readme_commands ${name})
endforeach()

if(help_commands STREQUAL "")
  message(FATAL_ERROR "no commands in --help:\n${help}")
endif()
if(NOT readme_commands STREQUAL help_commands)
  message(FATAL_ERROR "README.md lists the commands ${readme_commands}; the program has "
                      "${help_commands}")
endif()
