# Opens a test program's page in headless Chromium from a local file
# (open_page.js) and passes only when the page says that main returned 0
# after GoogleTest passed every test: a difference fails the program, and a
# page that never finished still says "running". Run with cmake -P and:
#   NODE, CHROMIUM  the programs     PAGE  the .html file     WORK  scratch directory
cmake_minimum_required(VERSION 3.16)

if(NOT CHROMIUM)
  message(FATAL_ERROR "chromium is missing: this test opens ${PAGE} in it (apt-get install chromium), "
                      "or configure with -DTOVRA_BROWSER_TEST=OFF")
endif()
file(REMOVE_RECURSE ${WORK})
execute_process(COMMAND ${NODE} ${CMAKE_CURRENT_LIST_DIR}/open_page.js ${CHROMIUM} ${WORK}/profile file://${PAGE} 240
                RESULT_VARIABLE rc OUTPUT_VARIABLE dom ERROR_VARIABLE err)
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
