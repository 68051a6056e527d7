# replay-autosave.exe on Wine with names beyond its code page: a game folder
# and a replay the ANSI code page cannot spell, a record a spreadsheet saved
# as UTF-8, an INI named in Polish, a share under code page 1250.
ra_wine_test(wine_names bash ${CMAKE_CURRENT_LIST_DIR}/names/names.sh)
