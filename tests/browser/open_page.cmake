# Opens a test program's page in headless Chromium from a local file and
# passes only when the page says that main returned 0 after GoogleTest
# passed every test: a difference fails the program, and a page that never
# finished still says "running". Run with cmake -P and these variables:
#   CHROMIUM  the browser     PAGE  the .html file     WORK  scratch directory
cmake_minimum_required(VERSION 3.16)

if(NOT CHROMIUM)
  message(FATAL_ERROR "chromium is missing: this test opens ${PAGE} in it (apt-get install chromium), "
                      "or configure with -DTOVRA_BROWSER_TEST=OFF")
endif()
# A fresh profile, and none of the background traffic that a closed network
# answers with refused connections. Virtual time lets the page run to its
# end before the DOM is taken; the real timeout catches a browser that hangs.
file(REMOVE_RECURSE ${WORK})
execute_process(COMMAND ${CHROMIUM} --headless --no-sandbox --disable-gpu --disable-quic --no-first-run
                        --disable-background-networking --disable-component-update --disable-sync
                        --user-data-dir=${WORK}/profile --virtual-time-budget=600000 --dump-dom file://${PAGE}
                TIMEOUT 300 RESULT_VARIABLE rc OUTPUT_VARIABLE dom ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${CHROMIUM} failed (${rc}) on ${PAGE}:\n${err}")
endif()

string(REGEX MATCH "<p id=\"status\">([^<]*)</p>" _ "${dom}")
set(state "${CMAKE_MATCH_1}")
string(REGEX MATCH "<pre id=\"output\">([^<]*)</pre>" _ "${dom}")
set(output "${CMAKE_MATCH_1}")
if(NOT state STREQUAL "exit 0" OR NOT output MATCHES "\\[  PASSED  \\]" OR output MATCHES "\\[  FAILED  \\]")
  message(FATAL_ERROR "the page says '${state}'; its output:\n${output}")
endif()
message(STATUS "${PAGE} in ${CHROMIUM}: ${state}\n${output}")
