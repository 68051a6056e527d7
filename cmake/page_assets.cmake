# The library page's style (tools/library/page/page.css) and scripts
# (tools/serve/scripts/: chart.js and page.js, which the page written by
# the page command carries too; app.js and friends.js, the library app's
# alone) as C++ byte arrays, so that the program carries them and the page
# needs no other file. Generated when CMake runs, and again whenever one
# changes.
# Sets RA_PAGE_ASSETS_SOURCE to the generated source (ra_page_style,
# ra_page_chart_script, ra_page_script..., declared in tools/library/page/page_assets.h).
set(RA_PAGE_ASSETS_SOURCE ${CMAKE_BINARY_DIR}/generated/page_assets.cpp)
if(NOT RA_PAGE_ASSETS_DONE)
  set(RA_PAGE_ASSETS_DONE ON)
  # The app's routes as its scripts name them (raRoutes: each route's path
  # and parameters by its name), read from the rows of the one route table
  # and put before app.js, whose script the app's pages carry first.
  set(route_table ${CMAKE_SOURCE_DIR}/tools/serve/route_table.cpp)
  set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${route_table})
  file(STRINGS ${route_table} route_rows REGEX "^    {\"[a-z_]+\", {\"[A-Z]+\", \"[^\"]*\"")
  if(NOT route_rows)
    message(FATAL_ERROR "no route found in ${route_table}")
  endif()
  set(routes "// Generated from tools/serve/route_table.cpp by cmake/page_assets.cmake; do not edit.\n")
  string(APPEND routes "var raRoutes = {\n")
  foreach(row IN LISTS route_rows)
    string(REGEX MATCH "^    {\"([a-z_]+)\", {\"[A-Z]+\", \"([^\"]*)\"[^}]*}, \"([a-z_ ]*)\"" found "${row}")
    if(NOT found)
      message(FATAL_ERROR "a route row cmake/page_assets.cmake cannot read: ${row}")
    endif()
    set(params "")
    if(NOT "${CMAKE_MATCH_3}" STREQUAL "")
      string(REPLACE " " "', '" params "'${CMAKE_MATCH_3}'")
    endif()
    string(APPEND routes "  ${CMAKE_MATCH_1}: {path: '${CMAKE_MATCH_2}', params: [${params}]},\n")
  endforeach()
  string(APPEND routes "};\n")
  set(routes_script ${CMAKE_BINARY_DIR}/generated/app_routes.js)
  file(CONFIGURE OUTPUT ${routes_script} CONTENT "${routes}" @ONLY)

  set(text "// Generated from the files named in cmake/page_assets.cmake; do not edit.\n")
  string(APPEND text "#include \"library/page/page_assets.h\"\n")
  foreach(asset style:library/page/page.css chart_script:serve/scripts/chart.js
          script:serve/scripts/page.js app_script:serve/scripts/app.js
          friends_script:serve/scripts/friends.js)
    string(REPLACE ":" ";" parts ${asset})
    list(GET parts 0 name)
    list(GET parts 1 file)
    set(path ${CMAKE_SOURCE_DIR}/tools/${file})
    set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${path})
    file(READ ${path} hex HEX)
    if(name STREQUAL "app_script")
      file(READ ${routes_script} routes_hex HEX)
      set(hex "${routes_hex}${hex}")
    endif()
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
    string(APPEND text "const char ra_page_${name}[] = {${bytes} 0};\n")
  endforeach()
  file(CONFIGURE OUTPUT ${RA_PAGE_ASSETS_SOURCE} CONTENT "${text}" @ONLY)
endif()
