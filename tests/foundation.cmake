tovra_gtest(smoke_test smoke_test.cpp)
