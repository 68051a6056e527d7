# ra_game_space_image(TARGET): links the Windows program TARGET so that its
# own image holds the game's memory (game_space.S, game_image_win.cpp): at
# the game's base, never moved, with the uninitialised section .game first.
#
# The linker's default script puts .text at the first page above the
# headers, and binutils 2.40 crashes on a script that inserts a section
# before .text, so the script is the linker's default with .game in front
# and .text moved behind it, made when the build is configured.
function(ra_game_space_image target)
  set(script ${CMAKE_CURRENT_BINARY_DIR}/${target}_game_space.ld)
  execute_process(COMMAND ${CMAKE_LINKER} --verbose OUTPUT_VARIABLE verbose
                  RESULT_VARIABLE status)
  # The script is what lies between the two lines of "=".
  string(REGEX MATCH "\n=+\n(.*)\n=+\n" default_script "${verbose}")
  set(default_script "${CMAKE_MATCH_1}")
  set(text_first
      "  .text  __image_base__ + ( __section_alignment__ < 0x1000 ? . : __section_alignment__ ) :")
  string(FIND "${default_script}" "${text_first}" at)
  if(NOT status EQUAL 0 OR at LESS 0)
    message(FATAL_ERROR "${CMAKE_LINKER}'s default script does not start with .text as expected")
  endif()
  string(REPLACE "${text_first}"
         "  .game  __image_base__ + __section_alignment__ :\n  {\n    *(.game)\n  }\n  .text  ALIGN(__section_alignment__) :"
         script_text "${default_script}")
  file(WRITE ${script} "${script_text}")
  target_sources(${target} PRIVATE ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/game_space.S
                 ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/game_image_win.cpp)
  target_include_directories(${target} PRIVATE ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/..)
  target_link_options(${target} PRIVATE -Wl,--image-base=0x400000 -Wl,--disable-dynamicbase
                      -Wl,-T,${script})
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${script})
endfunction()
