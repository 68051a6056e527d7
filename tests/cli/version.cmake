# replay-autosave --version prints the plug-in's version: the one in its
# manifest (src/host/exports.cpp), which scripts/dist.sh also checks against
# the CMake project's version and puts into the release package's name.
file(READ ${CMAKE_SOURCE_DIR}/src/host/exports.cpp ra_exports_text)
string(REGEX MATCH "vq_manifest vq_manifest_data = {[^}]*\"([0-9]+\\.[0-9]+\\.[0-9]+)\""
       ra_manifest_match "${ra_exports_text}")
if(NOT CMAKE_MATCH_1)
  message(FATAL_ERROR "no version in the manifest of src/host/exports.cpp")
endif()
add_test(NAME companion_version
         COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:replay-autosave> --version)
string(REPLACE "." "[.]" ra_manifest_pattern "${CMAKE_MATCH_1}")
set_tests_properties(companion_version PROPERTIES
                     PASS_REGULAR_EXPRESSION "^replay-autosave ${ra_manifest_pattern}\n$")
