# Helpers shared by every module's CMakeLists.txt.

# vark_add_test(NAME name SOURCES ... LIBS ... [OWN_MAIN])
# One GoogleTest program per module; each test case becomes one CTest test. Every test runs
# with the sound device stand-in switched to the silent back end, so no test ever reaches a
# real sound card unless it asks for one; the per-test folders come from the test support
# library (tests/support).
function(vark_add_test)
  cmake_parse_arguments(T "OWN_MAIN" "NAME" "SOURCES;LIBS" ${ARGN})
  if(NOT VARK_BUILD_TESTS)
    return()
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} vark_test_support GTest::gtest GTest::gmock)
  if(NOT T_OWN_MAIN)
    target_link_libraries(${T_NAME} PRIVATE GTest::gtest_main)
  endif()
  gtest_discover_tests(${T_NAME}
    PROPERTIES ENVIRONMENT "VARK_AUDIO=null"
    DISCOVERY_TIMEOUT 60)
endfunction()
