# The companion program's sources, listed once for everything that compiles
# them (the program in tools/, the fuzzers, the benchmarks), and the
# header-only libraries they are built with. Included from the top-level
# CMakeLists.txt, so every folder sees the same lists.
#
# RA_CHECK_SOURCES      the check tool's core (check/ and its platform source)
# RA_COMPANION_SOURCES  the jobs and what they share, this build's platform
#                       sources and the page's generated assets
# Both are full paths; program/main.cpp is the program's alone.
set(RA_TOOLS_DIR ${CMAKE_SOURCE_DIR}/tools)

# Windows services for the two Windows builds; Linux on the Windows
# stand-ins for the others.
if(RA_WINDOWS)
  set(RA_PLATFORM_DIR ${RA_TOOLS_DIR}/platform/win)
else()
  set(RA_PLATFORM_DIR ${RA_TOOLS_DIR}/platform/linux)
endif()

# What the check tool ships beside its own sources, also the test world's:
# Windows' rules for text (the ANSI code page, an INI file as the profile
# services read it) and the stand-in game whose memory the check fills with a
# race for the plug-in's own code to read (and the race files that describe
# one). The test world (sim/) compiles them into its stand-ins and its game.
set(RA_WINDOWS_TEXT_DIR ${RA_TOOLS_DIR}/windows_text)
set(RA_WINDOWS_TEXT_SOURCES ${RA_WINDOWS_TEXT_DIR}/code_page.cpp ${RA_WINDOWS_TEXT_DIR}/profile_text.cpp)
set(RA_STAND_IN_GAME_DIR ${RA_TOOLS_DIR}/stand_in_game)
set(RA_STAND_IN_GAME_SOURCES ${RA_STAND_IN_GAME_DIR}/game_memory.cpp ${RA_STAND_IN_GAME_DIR}/race_file.cpp)

set(RA_CHECK_SOURCES check/check.cpp check/check_dir.cpp check/check_ini.cpp
    check/check_warnings.cpp)
list(TRANSFORM RA_CHECK_SOURCES PREPEND ${RA_TOOLS_DIR}/)
list(APPEND RA_CHECK_SOURCES ${RA_PLATFORM_DIR}/check_platform.cpp)

set(RA_COMPANION_SOURCES
  program/commands.cpp program/game_setup.cpp program/invocation.cpp program/job_output.cpp
  program/open_library.cpp
  friends/aliases.cpp friends/friend_replay.cpp friends/friends_folder.cpp friends/friends_index.cpp
  friends/import.cpp friends/leaderboard.cpp friends/line_binding.cpp
  friends/plain_name.cpp friends/share_file.cpp friends/sharing.cpp
  friends/friend_removal.cpp friends/friend_laps.cpp serve/friends_api.cpp
  serve/import_progress.cpp
  serve/upload_file.cpp
  library/record/csv.cpp library/replays/files.cpp library/text/folded_name.cpp library/replays/game_replay.cpp library/text/html_text.cpp
  library/cache/index_queries.cpp library/cache/index_store.cpp library/replays/keep_marks.cpp library/cache/record_cache.cpp library/record/record_lines.cpp library/cache/library_index.cpp library/record/lap_time.cpp library/page/library_page.cpp
  library/text/local_time.cpp library/replays/prune.cpp library/record/racers.cpp library/record/record_schema.cpp
  library/record/record_warnings.cpp library/record/record_writer.cpp library/record/record_reader.cpp
  library/replays/replays.cpp library/replays/restore.cpp library/replays/sha256.cpp library/record/sheet_time.cpp library/record/type_codes.cpp library/page/page_data.cpp
  library/text/utf8_text.cpp
  serve/api_json.cpp serve/app_pages.cpp serve/front_door.cpp serve/http_server.cpp
  serve/request_rules.cpp serve/app_session.cpp serve/app_answers.cpp serve/app_gate.cpp
  serve/app_server.cpp serve/route_table.cpp serve/read_routes.cpp serve/action_routes.cpp
  serve/friends_routes.cpp)
list(TRANSFORM RA_COMPANION_SOURCES PREPEND ${RA_TOOLS_DIR}/)
# A command is its job in jobs/ and its name in program/commands.h; an
# action is its file in actions/: both folders are taken whole.
file(GLOB RA_JOB_SOURCES CONFIGURE_DEPENDS ${RA_TOOLS_DIR}/jobs/job_*.cpp
     ${RA_TOOLS_DIR}/actions/*.cpp)
list(APPEND RA_COMPANION_SOURCES ${RA_JOB_SOURCES})

# The services that differ by platform, one source each in platform/win and
# platform/linux (check_platform.cpp is the check tool's, above).
set(RA_PLATFORM_SOURCES browser.cpp console.cpp file_lock.cpp file_system.cpp game_paths.cpp
    game_text.cpp random.cpp remove.cpp sockets.cpp stop.cpp)
list(TRANSFORM RA_PLATFORM_SOURCES PREPEND ${RA_PLATFORM_DIR}/)
list(APPEND RA_COMPANION_SOURCES ${RA_PLATFORM_SOURCES})

# What every target that compiles RA_COMPANION_SOURCES defines: --version's
# text, the project's version, which dist.sh checks against the manifest.
set(RA_COMPANION_DEFINITIONS RA_VERSION="${PROJECT_VERSION}")

include(${CMAKE_SOURCE_DIR}/cmake/page_assets.cmake)
list(APPEND RA_COMPANION_SOURCES ${RA_PAGE_ASSETS_SOURCE})

# The header-only libraries come from Debian's packages. A cross compiler
# must not search the host's /usr/include, so each header folder is linked
# into the build tree and only that is put on the include path.
function(ra_link_headers name package header link)
  find_path(RA_${name}_INCLUDE ${header} PATHS ${ARGN} NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  if(NOT RA_${name}_INCLUDE)
    message(FATAL_ERROR "${header} not found: install ${package} (bash scripts/deps.sh)")
  endif()
  string(REGEX REPLACE "/.*" "" first ${header})
  set(dir ${CMAKE_BINARY_DIR}/${link})
  file(MAKE_DIRECTORY ${dir})
  file(CREATE_LINK ${RA_${name}_INCLUDE}/${first} ${dir}/${first} SYMBOLIC)
  add_library(ra_${link} INTERFACE)
  target_include_directories(ra_${link} SYSTEM INTERFACE ${dir})
endfunction()

# CLI11: every jobs/job_*.cpp adds its command's options.
ra_link_headers(CLI11 libcli11-dev CLI/CLI.hpp cli11 /usr/include)
# nlohmann/json: the library app's answers.
ra_link_headers(JSON nlohmann-json3-dev nlohmann/json.hpp json /usr/include)
# cpp-httplib, the library app's server, as one header: Debian 13's source
# package's, with our read deadline (scripts/httplib.sh). The folder names
# the version, so a build folder configured with an older header finds this.
ra_link_headers(HTTPLIB_0187 "cpp-httplib's header" httplib.h httplib $ENV{RA_HTTPLIB_HOME}
                /usr/local/share/cpp-httplib/0.18.7-ra1)
find_package(Threads REQUIRED)

# SQLite, for the library's index (library/library_index.*). The native build
# links Debian's libsqlite3-dev; the static 32-bit build and the Windows
# cross build compile the amalgamation of the same version that
# scripts/sqlite.sh makes from Debian's source package.
if(RA_BUILD STREQUAL "native")
  find_package(SQLite3 REQUIRED)
  add_library(ra_sqlite INTERFACE)
  target_link_libraries(ra_sqlite INTERFACE SQLite::SQLite3)
else()
  find_path(RA_SQLITE_SOURCE sqlite3.c PATHS $ENV{RA_SQLITE_HOME}
            /usr/local/share/sqlite-amalgamation/3.40.1 NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  if(NOT RA_SQLITE_SOURCE)
    message(FATAL_ERROR "sqlite3.c not found: make SQLite's amalgamation (bash scripts/deps.sh)")
  endif()
  add_library(ra_sqlite STATIC ${RA_SQLITE_SOURCE}/sqlite3.c)
  target_include_directories(ra_sqlite SYSTEM PUBLIC ${RA_SQLITE_SOURCE})
  # One connection per thread, no extension loading (nothing to load), the
  # full-text index the library's search uses (as Debian's build has it), and
  # no warnings of ours on a source that is not ours.
  target_compile_definitions(ra_sqlite PRIVATE SQLITE_THREADSAFE=1 SQLITE_OMIT_LOAD_EXTENSION
                                               SQLITE_DQS=0 SQLITE_ENABLE_FTS5)
  set_target_properties(ra_sqlite PROPERTIES C_STANDARD 99 POSITION_INDEPENDENT_CODE ON)
  target_link_libraries(ra_sqlite PUBLIC Threads::Threads)
  if(NOT RA_WINDOWS)
    target_link_libraries(ra_sqlite PUBLIC m)
  endif()
endif()
