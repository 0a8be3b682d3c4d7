# Packaging: the installed library consumed from outside, and tovra-solve.

set(_consume_arch $<IF:$<EQUAL:${CMAKE_SIZEOF_VOID_P},4>,i386,x86_64>)
set(_consume_emulator "${CMAKE_CROSSCOMPILING_EMULATOR}")
if(EMSCRIPTEN)
  set(_consume_arch wasm)
elseif(WIN32)
  # mingw-x86_64 or mingw-i686, where README.md has lines for MinGW; the
  # consumer must load the installed DLL, not the build tree's.
  string(REGEX REPLACE "-w64-mingw32$" "" _consume_arch mingw-${TOVRA_TRIPLET})
  set(_consume_emulator ${TOVRA_WINE_RUN} ${CMAKE_CURRENT_BINARY_DIR}/install_consume/prefix/bin ${TOVRA_WINE_RUNTIME} --)
  file(STRINGS ${PROJECT_SOURCE_DIR}/README.md _consume_lines REGEX "^    .*mingw")
  if(NOT _consume_lines)
    set(_consume_arch "")
  endif()
endif()
if(TOVRA_TRIPLET AND NOT _consume_arch MATCHES "^mingw")
  # No consumer lines in the README for this target: the test says so rather than pass.
  tovra_skip(install_consume "no consumer lines for ${TOVRA_TRIPLET} in README.md")
else()
  add_test(NAME install_consume
           COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR} -DWORK=${CMAKE_CURRENT_BINARY_DIR}/install_consume
                   -DCONSUMER=${CMAKE_CURRENT_SOURCE_DIR}/packaging/consumer -DLIBDIR=$<TARGET_PROPERTY:tovra,TOVRA_INSTALL_LIBDIR>
                   -DVERSION=${PROJECT_VERSION} -DSOURCE=${PROJECT_SOURCE_DIR}
                   -DARCH=${_consume_arch} "-DEMULATOR=${_consume_emulator}" -P
                   ${CMAKE_CURRENT_SOURCE_DIR}/packaging/install_test.cmake)
endif()

# tovra_solve_case(name status out err args...): one run of tovra-solve. out
# names an expected-output file in data/solve ("" for none), err is the
# exact text expected on standard error, lines separated by \n; "<" as the
# first argument feeds the next one to standard input.
set(TOVRA_SOLVE_DIR ${CMAKE_CURRENT_SOURCE_DIR}/data/solve)
function(tovra_solve_case name status out err)
  set(args ${ARGN})
  set(stdin "")
  if(ARGC GREATER 5 AND ARGV4 STREQUAL "<")
    set(stdin ${ARGV5})
    list(REMOVE_AT args 0 1)
  endif()
  if(out)
    set(out ${TOVRA_SOLVE_DIR}/${out})
  endif()
  string(REPLACE ";" "|" args "${args}")
  add_test(NAME solve_${name}
           COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:tovra-solve> "-DEMULATOR=${CMAKE_CROSSCOMPILING_EMULATOR}"
                   "-DARGS=${args}" -DSTDIN=${stdin} -DSTATUS=${status} -DOUT=${out} "-DERR=${err}" -P
                   ${CMAKE_CURRENT_SOURCE_DIR}/packaging/run_example.cmake)
endfunction()

if(TARGET tovra-solve)
  # Good input: the output is fixed to the last bit and the same on every build.
  tovra_solve_case(builtin 0 builtin.out "")
  tovra_solve_case(builtin_hex 0 builtin_hex.out "" --hex)
  tovra_solve_case(hex_input_crlf 0 hex.out "" --hex ${TOVRA_SOLVE_DIR}/hex.txt)
  tovra_solve_case(stdin 0 two.out "" < ${TOVRA_SOLVE_DIR}/two.txt -)
  tovra_solve_case(
    equal_rows 0 equal_rows.out
    "tovra-solve: warning: LU replaced an exactly zero pivot by 1e-20 (A is singular or nearly so), so the results carry magnitudes near 1e20"
    ${TOVRA_SOLVE_DIR}/equal_rows.txt)
  tovra_solve_case(tiny_pivot 0 tiny_pivot.out "" ${TOVRA_SOLVE_DIR}/tiny_pivot.txt)
  tovra_solve_case(singular_rounded 0 singular_rounded.out "" ${TOVRA_SOLVE_DIR}/singular_rounded.txt)
  # Results that are not finite, and numbers out of range as read; the status stays 0.
  set(warn "tovra-solve: warning:")
  set(non_finite "${warn} the results hold NaNs or infinities:")
  tovra_solve_case(
    subnormal 0 subnormal.out
    "${non_finite} row 1 of A holds the subnormal 3.999955468730732e-320, whose reciprocal (LU's scale of the row, or of a pivot) overflows double"
    ${TOVRA_SOLVE_DIR}/subnormal.txt)
  tovra_solve_case(
    overflow 0 overflow.out
    "${warn} <stdin>: line 3: '1e400' in row 1 of A overflowed to infinity when read\\n${warn} LU replaced an exactly zero pivot by 1e-20 (A is singular or nearly so), so the results carry magnitudes near 1e20\\n${non_finite} row 1 of A holds an infinity, whose reciprocal, 0, LU takes as the row's scale"
    < ${TOVRA_SOLVE_DIR}/overflow.txt -)
  tovra_solve_case(
    underflow 0 underflow.out
    "${warn} ${TOVRA_SOLVE_DIR}/underflow.txt: line 3: '1e-400' in row 1 of A underflowed to zero when read"
    ${TOVRA_SOLVE_DIR}/underflow.txt)
  tovra_solve_case(order_zero 0 empty_system.out "" ${TOVRA_SOLVE_DIR}/empty_system.txt)
  tovra_solve_case(zero_row 3 zero_row.out "" ${TOVRA_SOLVE_DIR}/zero_row.txt)

  # Bad input: one line on standard error, nothing on standard output. Each
  # case of data/solve/rejects.txt is written as the text of a file.
  set(bad_dir ${CMAKE_CURRENT_BINARY_DIR}/solve_bad)
  string(REPEAT 1 4097 long)
  string(SUBSTRING ${long} 0 32 long32)
  file(STRINGS ${TOVRA_SOLVE_DIR}/rejects.txt cases REGEX "^[a-z]")
  foreach(case IN LISTS cases)
    string(CONFIGURE "${case}" case)
    string(REPLACE "|" ";" case "${case}")
    list(GET case 0 name)
    list(GET case 1 text)
    list(GET case 2 err)
    string(REPLACE "\\n" "\n" text "${text}")
    file(WRITE ${bad_dir}/${name}.txt "${text}")
    tovra_solve_case(rejects_${name} 1 "" "tovra-solve: ${bad_dir}/${name}.txt: ${err}" ${bad_dir}/${name}.txt)
  endforeach()
  tovra_solve_case(rejects_stdin 1 "" "tovra-solve: <stdin>: line 1: unexpected '2' after the order n" <
                   ${bad_dir}/order_trailing.txt -)
  tovra_solve_case(rejects_missing_file 1 "" "tovra-solve: cannot open ${bad_dir}/none.txt: No such file or directory"
                   ${bad_dir}/none.txt)
  tovra_solve_case(rejects_directory 1 "" "tovra-solve: ${bad_dir}: cannot read: Is a directory" ${bad_dir})
endif()
if(TARGET tovra-solve)
  tovra_solve_case(rejects_option 2 "" "tovra-solve: unknown option '--exact' (usage: tovra-solve [--hex] [--] [FILE | -])"
                   --exact)
  tovra_solve_case(rejects_two_inputs 2 "" "tovra-solve: more than one input given (usage: tovra-solve [--hex] [--] [FILE | -])"
                   - -)
  tovra_solve_case(end_of_options 1 "" "tovra-solve: cannot open --hex: No such file or directory" -- --hex)
  tovra_solve_case(rejects_self_test_input 2 ""
                   "tovra-solve: --self-test takes no input and no --hex (usage: tovra-solve [--hex] [--] [FILE | -])"
                   --self-test -)
  # One line per arithmetic path, as many as this processor has (golden_test
  # checks that number, and that a difference is reported).
  add_test(NAME solve_self_test
           COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:tovra-solve> "-DEMULATOR=${CMAKE_CROSSCOMPILING_EMULATOR}"
                   -DARGS=--self-test -DSTATUS=0 "-DEACH_LINE=^(x87|fma|integer) \\([^)]+\\): identical$" -P
                   ${CMAKE_CURRENT_SOURCE_DIR}/packaging/run_example.cmake)
endif()

if(TARGET tovra-fixed-size)
  add_test(NAME fixed_size_example
           COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:tovra-fixed-size>
                   "-DEMULATOR=${CMAKE_CROSSCOMPILING_EMULATOR}" -DSTATUS=0 -DOUT=${TOVRA_SOLVE_DIR}/fixed_size.out -P
                   ${CMAKE_CURRENT_SOURCE_DIR}/packaging/run_example.cmake)
endif()
