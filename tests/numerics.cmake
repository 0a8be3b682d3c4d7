# Numerics area (issues 3 and 4): arithmetic, transpose and blocks, the LU
# family bit for bit, and the normwise residuals of the LU family.
tovra_gtest(arithmetic_test arithmetic_test.cpp)
tovra_gtest(block_test block_test.cpp)
tovra_gtest(lu_test lu_test.cpp)
tovra_gtest(residual_test residual_test.cpp)
tovra_gtest(signalling_nan_test signalling_nan_test.cpp)
