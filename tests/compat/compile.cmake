# cmake -DCXX=<compiler> -DFLAGS=<list> -DINCLUDE=<dir> -DSOURCE=<file> -P compile.cmake
# Compiles SOURCE with the named compiler; fails (never skips) when the
# compiler is missing or says anything at all.
find_program(compiler NAMES ${CXX})
if(NOT compiler)
  message(FATAL_ERROR "${CXX} not found: the header compatibility test needs it (.ci/run installs it)")
endif()
execute_process(COMMAND ${compiler} ${FLAGS} -I${INCLUDE} ${SOURCE} RESULT_VARIABLE rc OUTPUT_VARIABLE out
                ERROR_VARIABLE out)
if(NOT rc EQUAL 0 OR NOT out STREQUAL "")
  message(FATAL_ERROR "${compiler} ${FLAGS}: exit ${rc}\n${out}")
endif()
message(STATUS "${compiler} ${FLAGS}: clean")
