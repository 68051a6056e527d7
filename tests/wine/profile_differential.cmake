# The profile services of Windows against our stand-ins: one probe program
# (profile_differential/profile_probe.cpp) built twice, by the mingw64 build
# for the system's services (run on Wine) and here with sim/win32, asks both
# the same questions; compare.sh fails on any answer that differs unless
# known_differences.tsv lists it, with its source or as unsettled.
add_executable(profile_probe ${CMAKE_CURRENT_LIST_DIR}/profile_differential/profile_probe.cpp)
target_link_libraries(profile_probe PRIVATE sim_win32)
target_compile_options(profile_probe PRIVATE ${RA_WARN_FLAGS})

ra_wine_test(wine_profile_differential
             bash ${CMAKE_CURRENT_LIST_DIR}/profile_differential/compare.sh
             $<TARGET_FILE:profile_probe> ${CMAKE_SOURCE_DIR}/fuzz/corpus/profile
             ${CMAKE_CROSSCOMPILING_EMULATOR})
