include(GoogleTest)

set(ZEP_TOOLS_DIR ${CMAKE_SOURCE_DIR}/tools)

# Fails the build when a binary would need the compiler's runtime DLLs next to it.
function(zep_check_imports target)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${ZEP_TOOLS_DIR}/check-imports.sh $<TARGET_FILE:${target}>
    VERBATIM)
endfunction()

# zep_add_gtest(NAME n SOURCES ... [LIBS ...] [RESOURCE_LOCK lock] [TIMEOUT s])
# A GoogleTest executable run under Wine, one process per test case. One lock name at most:
# the discovered tests' property list cannot carry a nested list. The lock "prefix_shared" is
# for tests that use what all programs of the prefix share: the machine's real registry, the
# desktop's windows, activation and foreground, the running object table.
function(zep_add_gtest)
  cmake_parse_arguments(ARG "" "NAME;TIMEOUT;RESOURCE_LOCK" "SOURCES;LIBS" ${ARGN})
  if(ARG_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "zep_add_gtest(${ARG_NAME}): unexpected arguments ${ARG_UNPARSED_ARGUMENTS}")
  endif()
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

# zep_add_resource_library(<name> <rc file> [DEPENDS files...]): a DLL of resources only, with no
# code and no entry point, e.g. a language resource library.
function(zep_add_resource_library name rc)
  cmake_parse_arguments(ARG "" "" "DEPENDS" ${ARGN})
  add_library(${name} SHARED ${rc})
  set_target_properties(${name} PROPERTIES PREFIX "" OUTPUT_NAME ${name} LINKER_LANGUAGE C)
  target_link_options(${name} PRIVATE -nostdlib -Wl,-e,0)
  if(ARG_DEPENDS)
    set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS "${ARG_DEPENDS}")
  endif()
endfunction()
