# The unit tests: worked values and shape rules; the objects, with several
# threads on the same operands (scripts/sanitize.sh tsan runs it under
# ThreadSanitizer); allocation failures, in a program of their own, since it
# replaces the global operator new.
tovra_gtest(numerics_test numerics_test.cpp)
target_compile_definitions(numerics_test PRIVATE TOVRA_WORKED_FILE="${CMAKE_CURRENT_SOURCE_DIR}/data/worked.txt")
find_package(Threads REQUIRED)
tovra_gtest(objects_test objects_test.cpp)
target_link_libraries(objects_test PRIVATE Threads::Threads)
tovra_gtest(fault_injection_test fault_injection_test.cpp)
# A DLL's operator new is its C++ runtime's, never the program's replacement:
# on Windows the library's objects and the C++ runtime are linked in.
if(WIN32)
  target_sources(fault_injection_test PRIVATE $<TARGET_OBJECTS:tovra>)
  target_link_options(fault_injection_test PRIVATE -static-libstdc++ -static-libgcc)
endif()
