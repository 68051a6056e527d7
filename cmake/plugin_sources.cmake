# The plug-in's sources, split by where they can be built. Portable code runs
# in all three builds; the host-facing records and the processor-level stubs
# need 32-bit x86; the DLL entry exists only in the shipped DLL.
file(GLOB RA_PORTABLE_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/src/settings/*.cpp
  ${CMAKE_SOURCE_DIR}/src/snapshot/*.cpp
  ${CMAKE_SOURCE_DIR}/src/naming/*.cpp
  ${CMAKE_SOURCE_DIR}/src/autosave/*.cpp
  ${CMAKE_SOURCE_DIR}/src/host/*.cpp
  ${CMAKE_SOURCE_DIR}/patches/*.cpp)
set(RA_I386_ONLY_SOURCES
  ${CMAKE_SOURCE_DIR}/src/host/exports.cpp
  ${CMAKE_SOURCE_DIR}/patches/stubs.S)
set(RA_DLL_ONLY_SOURCES
  ${CMAKE_SOURCE_DIR}/src/host/dll_entry.cpp
  ${CMAKE_SOURCE_DIR}/src/host/replay_autosave.def)
list(REMOVE_ITEM RA_PORTABLE_SOURCES ${RA_I386_ONLY_SOURCES} ${RA_DLL_ONLY_SOURCES})
