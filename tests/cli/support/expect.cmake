# Checks shared by the command-line test scripts, on the rc, out and err that
# their run_tool sets.

function(expect_rc want)
  if(NOT rc STREQUAL "${want}")
    message(FATAL_ERROR "exit status ${rc}, want ${want}\nstdout:\n${out}\nstderr:\n${err}")
  endif()
endfunction()

function(expect_in text pattern)
  if(NOT "${text}" MATCHES "${pattern}")
    message(FATAL_ERROR "no match for '${pattern}' in:\n${text}")
  endif()
endfunction()
