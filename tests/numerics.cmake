# The unit tests: worked values and shape rules; the objects, with several
# threads on the same operands (scripts/sanitize.sh tsan runs it under
# ThreadSanitizer); allocation failures, in a program of their own, since it
# replaces the global operator new.
tovra_gtest(numerics_test numerics_test.cpp)
target_compile_definitions(numerics_test PRIVATE TOVRA_WORKED_FILE="${CMAKE_CURRENT_SOURCE_DIR}/data/worked.txt")
find_package(Threads REQUIRED)
tovra_gtest(objects_test objects_test.cpp)
target_link_libraries(objects_test PRIVATE Threads::Threads)
if(EMSCRIPTEN)
  # WebAssembly threads, Node workers started before main: one cannot start
  # while main waits in join. The pool holds the test's four threads; one
  # more would fail the test instead of hanging it. Shared memory cannot grow
  # cheaply, and this test needs little.
  target_link_options(objects_test PRIVATE -pthread -sPTHREAD_POOL_SIZE=4 -sPTHREAD_POOL_SIZE_STRICT=2
                      -sALLOW_MEMORY_GROWTH=0)
endif()
tovra_gtest(fault_injection_test fault_injection_test.cpp)
# A DLL's operator new is its C++ runtime's, never the program's replacement:
# on Windows the library's objects and the C++ runtime are linked in.
if(WIN32)
  target_sources(fault_injection_test PRIVATE $<TARGET_OBJECTS:tovra>)
  target_link_options(fault_injection_test PRIVATE -static-libstdc++ -static-libgcc)
endif()
