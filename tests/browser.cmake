# The golden cases in a real browser (Emscripten builds, with
# -DTOVRA_BROWSER_TEST=ON): golden_test built as a page of its own, the
# golden file embedded and the WebAssembly module inline, so that it opens
# from a local file with nothing to fetch, and opened by headless Chromium.
if(NOT EMSCRIPTEN)
  return()
endif()
option(TOVRA_BROWSER_TEST "Open the golden cases in headless Chromium (needs chromium)" OFF)
if(NOT TOVRA_BROWSER_TEST)
  return()
endif()

set(_shell ${CMAKE_CURRENT_SOURCE_DIR}/browser/shell.html)
set(_golden ${CMAKE_CURRENT_SOURCE_DIR}/data/golden.txt)
add_executable(golden_page golden_test.cpp)
target_link_libraries(golden_page PRIVATE tovra_test_support tovra_check)
target_link_libraries(golden_page PRIVATE tovra_build_flags)
target_compile_definitions(golden_page PRIVATE TOVRA_GOLDEN_FILE="/golden.txt")
set_target_properties(golden_page PROPERTIES SUFFIX .html LINK_DEPENDS "${_shell};${_golden}")
# A page, not a Node program, so without the host's file system. Debian's
# Emscripten fails in its HTML minifier; the page is small anyway.
target_link_options(golden_page PRIVATE -sNODERAWFS=0 -sENVIRONMENT=web -sSINGLE_FILE=1 -sMINIFY_HTML=0
                    --shell-file ${_shell} --embed-file ${_golden}@/golden.txt)

find_program(TOVRA_CHROMIUM NAMES chromium chromium-browser)
if(NOT TOVRA_CHROMIUM)
  message(WARNING "chromium is missing: golden_browser will fail (apt-get install chromium)")
endif()
add_test(NAME golden_browser
         COMMAND ${CMAKE_COMMAND} -DNODE=${TOVRA_NODE} -DCHROMIUM=${TOVRA_CHROMIUM} -DPAGE=$<TARGET_FILE:golden_page>
                 -DWORK=${CMAKE_CURRENT_BINARY_DIR}/golden_browser -P
                 ${CMAKE_CURRENT_SOURCE_DIR}/browser/open_page.cmake)
