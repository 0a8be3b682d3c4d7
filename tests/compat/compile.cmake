# cmake -DCXX=<compiler> -DFLAGS=<list> -DINCLUDE=<dirs> -DSOURCE=<file> [-DEXPECT=<regex>] -P compile.cmake
# Compiles SOURCE with the named compiler; fails (never skips) when the
# compiler is missing or says anything at all, or, with EXPECT, unless it
# fails with a message matching EXPECT.
find_program(compiler NAMES ${CXX})
if(NOT compiler)
  message(FATAL_ERROR "${CXX} not found: the header compatibility test needs it (.ci/run installs it)")
endif()
list(TRANSFORM INCLUDE PREPEND -I)
execute_process(COMMAND ${compiler} ${FLAGS} ${INCLUDE} ${SOURCE} RESULT_VARIABLE rc OUTPUT_VARIABLE out
                ERROR_VARIABLE out)
if(EXPECT)
  if(rc EQUAL 0 OR NOT out MATCHES "${EXPECT}")
    message(FATAL_ERROR "${compiler} ${FLAGS}: exit ${rc}, expected a failure matching '${EXPECT}'\n${out}")
  endif()
  message(STATUS "${compiler} ${FLAGS}: refused as expected")
elseif(NOT rc EQUAL 0 OR NOT out STREQUAL "")
  message(FATAL_ERROR "${compiler} ${FLAGS}: exit ${rc}\n${out}")
else()
  message(STATUS "${compiler} ${FLAGS}: clean")
endif()
