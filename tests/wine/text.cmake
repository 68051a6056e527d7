# replay-autosave.exe on Wine with names the system's code page cannot spell
# (text/text.sh), on a season the simulator plays.
ra_wine_test(wine_text_beyond_the_code_page bash ${CMAKE_CURRENT_LIST_DIR}/text/text.sh
             "${CMAKE_CROSSCOMPILING_EMULATOR}" $<TARGET_FILE:replay-autosave-sim>)
