# WebAssembly through Emscripten (emcmake cmake ...). There is no x87 unit
# and no fused multiply-add: the row updates run on the layer that builds
# the exact parts without one (src/arith/fma_dekker.cpp), the single steps
# on the same exact parts (src/arith/fma_steps.h), and whatever those cannot
# vouch for on the integer arithmetic, which gives the same bits, NaN
# payloads included, whatever the engine does with the NaNs of its own
# instructions.

# That layer works on pairs of doubles: WebAssembly's 128-bit SIMD, which
# every current engine has (Node 16.4, Chrome 91, Firefox 89, Safari 16.4).
# A program for an engine without it builds with -DTOVRA_WASM_SIMD=OFF: the
# same bits, each pair in two scalar instructions. The flag reaches the
# programs built with the library too: the module they make has SIMD either
# way.
option(TOVRA_WASM_SIMD "WebAssembly: use the 128-bit SIMD instructions" ON)
if(TOVRA_WASM_SIMD)
  target_compile_options(tovra PUBLIC -msimd128)
endif()

# std::bad_alloc passes through the library's frames: compiled without
# -fexceptions (Emscripten's default) their destructors would not run and a
# failed call would leak what it had allocated. A program linked against the
# library can catch the exception, as on every other target.
target_compile_options(tovra PRIVATE -fexceptions)
target_link_options(tovra INTERFACE -fexceptions)

# Programs run under Node. From Node 18 on, Emscripten's loader (3.1.6 in
# Debian 12) takes the .wasm file next to the program for a URL and fails to
# fetch it unless fetch is turned off.
find_program(TOVRA_NODE NAMES node nodejs)
if(NOT TOVRA_NODE)
  message(FATAL_ERROR "node is missing: WebAssembly programs run under it (apt-get install nodejs)")
endif()
execute_process(COMMAND ${TOVRA_NODE} --no-experimental-fetch -e "" RESULT_VARIABLE _rc OUTPUT_QUIET ERROR_QUIET)
set(CMAKE_CROSSCOMPILING_EMULATOR ${TOVRA_NODE})
if(_rc EQUAL 0)
  list(APPEND CMAKE_CROSSCOMPILING_EMULATOR --no-experimental-fetch)
endif()
if(NOT CMAKE_IN_TRY_COMPILE)
  string(REPLACE ";" " " _run "${CMAKE_CROSSCOMPILING_EMULATOR}")
  message(STATUS "tovra wasm: a static library; programs run under ${_run}")
endif()

# Optimised links run Emscripten's JavaScript optimiser, which needs the
# acorn module; Debian installs it where Node does not look by default.
execute_process(COMMAND ${TOVRA_NODE} -e "require('acorn')" RESULT_VARIABLE _rc OUTPUT_QUIET ERROR_QUIET)
if(NOT _rc EQUAL 0)
  set(_node_path /usr/share/nodejs)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env NODE_PATH=${_node_path} ${TOVRA_NODE} -e "require('acorn')"
                  RESULT_VARIABLE _rc OUTPUT_QUIET ERROR_QUIET)
  if(NOT _rc EQUAL 0)
    message(FATAL_ERROR "Node cannot load the acorn module, which Emscripten's optimiser needs "
                        "(apt-get install node-acorn)")
  endif()
  set_property(GLOBAL PROPERTY RULE_LAUNCH_LINK "${CMAKE_COMMAND} -E env NODE_PATH=${_node_path}")
endif()

# tovra_wasm_programs(): the programs of the calling directory become Node
# programs that read the host's files directly (tests read their data files,
# tovra-solve its input), grow their memory as the larger cases need, catch
# exceptions, and end with main's status, their output flushed.
function(tovra_wasm_programs)
  add_compile_options(-fexceptions)
  add_link_options(-fexceptions -sNODERAWFS=1 -sALLOW_MEMORY_GROWTH=1 -sEXIT_RUNTIME=1)
endfunction()
