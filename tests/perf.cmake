# The reordered kernels against the straightforward loops of the benchmark
# baseline, compiled into the test.
tovra_gtest(perf_paths_test perf_paths_test.cpp ${PROJECT_SOURCE_DIR}/bench/baseline.cpp)
target_include_directories(perf_paths_test PRIVATE ${PROJECT_SOURCE_DIR}/bench ${PROJECT_SOURCE_DIR}/src)
