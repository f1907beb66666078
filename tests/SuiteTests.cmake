# Run after each build of the tests: lists the tests
# FILTER selects and writes OUTPUT, a CTest file with one test per suite
# (each run as "Suite.*" within FILTER).
# Suites whose names match the regular expression SLOW get a COST, so that
# ctest starts them early.
#   cmake -D EXECUTABLE=... -D FILTER=... -D OUTPUT=... -D TIMEOUT=... -D SLOW=... -P SuiteTests.cmake
execute_process(COMMAND "${EXECUTABLE}" --gtest_list_tests "--gtest_filter=${FILTER}"
  OUTPUT_VARIABLE listing RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${EXECUTABLE} --gtest_list_tests failed: ${result}")
endif()
# Suites are the lines that do not start with a space ("Suite." or
# "Prefix/Suite.  # TypeParam = ..."); tests are indented beneath them.
string(REPLACE "\n" ";" lines "${listing}")
# "A.*-B.*" keeps FILTER's exclusions.
set(excluded "")
string(FIND "${FILTER}" "-" dash)
if(dash GREATER_EQUAL 0)
  string(SUBSTRING "${FILTER}" ${dash} -1 excluded)
endif()
set(text "")
foreach(line IN LISTS lines)
  if(line MATCHES "^([^ #][^ ]*)\\.")
    set(suite "${CMAKE_MATCH_1}")
    string(APPEND text "add_test([=[${suite}]=] [=[${EXECUTABLE}]=] [=[--gtest_filter=${suite}.*${excluded}]=])\n"
      "set_tests_properties([=[${suite}]=] PROPERTIES TIMEOUT ${TIMEOUT})\n")
    if(SLOW AND suite MATCHES "${SLOW}")
      string(APPEND text "set_tests_properties([=[${suite}]=] PROPERTIES COST 50)\n")
    endif()
  endif()
endforeach()
file(WRITE "${OUTPUT}" "${text}")
