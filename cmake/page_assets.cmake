# The library page's style and scripts (tools/library/page.css, chart.js, page.js) as
# C++ byte arrays, so that the program carries them and the page needs no
# other file; app.js and friends.js are the library app's (serve). Generated when CMake runs, and again whenever either changes.
# Sets RA_PAGE_ASSETS_SOURCE to the generated source (ra_page_style,
# ra_page_chart_script, ra_page_script..., declared in tools/library/page_assets.h).
set(RA_PAGE_ASSETS_SOURCE ${CMAKE_BINARY_DIR}/generated/page_assets.cpp)
if(NOT RA_PAGE_ASSETS_DONE)
  set(RA_PAGE_ASSETS_DONE ON)
  set(text "// Generated from the files of tools/library/ named in cmake/page_assets.cmake; do not edit.\n")
  string(APPEND text "#include \"library/page_assets.h\"\n")
  foreach(asset style:page.css chart_script:chart.js script:page.js app_script:app.js
          friends_script:friends.js)
    string(REPLACE ":" ";" parts ${asset})
    list(GET parts 0 name)
    list(GET parts 1 file)
    set(path ${CMAKE_SOURCE_DIR}/tools/library/${file})
    set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${path})
    file(READ ${path} hex HEX)
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
    string(APPEND text "const char ra_page_${name}[] = {${bytes} 0};\n")
  endforeach()
  file(CONFIGURE OUTPUT ${RA_PAGE_ASSETS_SOURCE} CONTENT "${text}" @ONLY)
endif()
