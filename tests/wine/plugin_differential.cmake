# The whole plug-in on Wine against the stand-ins: a table of races and
# settings (plugin_differential/cases.sh) played with the shipped .vqp by the
# Linux simulator (our PE loader, sim/win32) and by the Windows simulator on
# Wine (32-bit, as the game and the plug-in are); logs, files and records must agree but for the clock fields.
ra_wine32_test(wine_plugin_differential
             bash ${CMAKE_CURRENT_LIST_DIR}/plugin_differential/differential.sh
             "${CMAKE_CROSSCOMPILING_EMULATOR}" $<TARGET_FILE:replay-autosave-sim>
             ${CMAKE_SOURCE_DIR}/examples)
