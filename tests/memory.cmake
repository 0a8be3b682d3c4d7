# Programs that replace the global operator new (alloc_counter.cpp) to count
# allocations or make the free store fail on purpose.
tovra_gtest(fault_injection_test fault_injection_test.cpp alloc_counter.cpp)

# Several threads on the same operands; scripts/sanitize.sh runs it under
# ThreadSanitizer too.
find_package(Threads REQUIRED)
tovra_gtest(thread_test thread_test.cpp)
target_link_libraries(thread_test PRIVATE Threads::Threads)
