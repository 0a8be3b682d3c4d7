# The exact reference model and the tests that hold the library to it.
add_library(tovra_model STATIC model/x87.cpp model/linalg.cpp)
# Optimised in every build: the model computes with integers only, so its
# results cannot depend on the level, and unoptimised it would dominate the
# run time of the -O0 builds under emulation.
target_compile_options(tovra_model PRIVATE -Wall -Wextra -ffp-contract=off -O2)
target_include_directories(tovra_model PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})

tovra_gtest(model_test model_test.cpp)
target_link_libraries(model_test PRIVATE tovra_model)

tovra_gtest(differential_test differential_test.cpp)
target_link_libraries(differential_test PRIVATE tovra_model)

include(${CMAKE_CURRENT_SOURCE_DIR}/fuzz/fuzz.cmake)
