# replay-autosave.exe on Wine where Windows itself decides: check on a Dir
# whose drive does not exist or whose folder is a file, restore's words for
# what is no replay or was pruned into the Recycle Bin, and what a drop of
# a folder or of two replays says.
ra_wine_test(wine_companion_tidy bash ${CMAKE_CURRENT_LIST_DIR}/tidy/tidy.sh)
# The same with the 32-bit program of the mingw build, which players no
# longer get: its Windows code still runs as it compiles.
ra_wine32_test(wine32_companion_tidy bash ${CMAKE_CURRENT_LIST_DIR}/tidy/tidy.sh)
