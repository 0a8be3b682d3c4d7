# Runs an example program once and checks its exit status and both outputs exactly.
# Run with cmake -P and these variables:
#   PROGRAM, EMULATOR   the program and what runs it (may be empty)
#   ARGS                its arguments, separated by '|'
#   STDIN               file fed to standard input (default: none)
#   STATUS              expected exit status
#   OUT                 file holding the exact expected standard output (default: empty)
#   EACH_LINE           instead of OUT: a regular expression that every line of
#                       standard output must match, and there must be a line
#   ERR                 the exact expected standard error, lines separated by \n (default: empty)
cmake_minimum_required(VERSION 3.16)

string(REPLACE "|" ";" args "${ARGS}")
set(input)
if(STDIN)
  set(input INPUT_FILE ${STDIN})
endif()
execute_process(COMMAND ${EMULATOR} ${PROGRAM} ${args} ${input} RESULT_VARIABLE status OUTPUT_VARIABLE out
                ERROR_VARIABLE err)

set(want_out "")
if(OUT)
  file(READ ${OUT} want_out)
endif()
set(want_err "")
if(ERR)
  string(REPLACE "\\n" "\n" want_err "${ERR}\n")
endif()
if(EACH_LINE)
  string(REGEX REPLACE "\n$" "" lines "${out}")
  string(REPLACE "\n" ";" lines "${lines}")
  set(want_out "lines matching ${EACH_LINE}")
  set(out_ok TRUE)
  foreach(line IN LISTS lines)
    if(NOT line MATCHES "${EACH_LINE}")
      set(out_ok FALSE)
    endif()
  endforeach()
  if(NOT out MATCHES "\n$")
    set(out_ok FALSE)
  endif()
elseif(out STREQUAL want_out)
  set(out_ok TRUE)
else()
  set(out_ok FALSE)
endif()
if(NOT status STREQUAL STATUS OR NOT out_ok OR NOT err STREQUAL want_err)
  message(FATAL_ERROR "${PROGRAM} ${ARGS}\nexit status ${status}, expected ${STATUS}\n"
                      "stdout:\n${out}\nexpected stdout:\n${want_out}\n"
                      "stderr:\n${err}\nexpected stderr:\n${want_err}")
endif()
