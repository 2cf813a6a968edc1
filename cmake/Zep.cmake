include(GoogleTest)

set(ZEP_TOOLS_DIR ${CMAKE_SOURCE_DIR}/tools)

# Fails the build when a binary would need the compiler's runtime DLLs next to it.
function(zep_check_imports target)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${ZEP_TOOLS_DIR}/check-imports.sh $<TARGET_FILE:${target}>
    VERBATIM)
endfunction()

# zep_add_gtest(NAME n SOURCES ... [LIBS ...] [RESOURCE_LOCK ...] [TIMEOUT s] [WIN32])
# A GoogleTest executable run under Wine, one process per test case.
function(zep_add_gtest)
  cmake_parse_arguments(ARG "" "NAME;TIMEOUT" "SOURCES;LIBS;RESOURCE_LOCK" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  add_executable(${ARG_NAME} ${ARG_SOURCES})
  target_link_libraries(${ARG_NAME} PRIVATE ${ARG_LIBS} zep_test_main zep_common gtest gmock)
  zep_check_imports(${ARG_NAME})
  set(props TIMEOUT ${ARG_TIMEOUT})
  if(ARG_RESOURCE_LOCK)
    list(APPEND props RESOURCE_LOCK "${ARG_RESOURCE_LOCK}")
  endif()
  gtest_discover_tests(${ARG_NAME}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    NO_PRETTY_VALUES
    TEST_PREFIX "${ARG_NAME}."
    PROPERTIES ${props})
endfunction()
