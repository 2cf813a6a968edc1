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

# zep_program_manifest(<target> WINDOWED|CONSOLE): the program's manifest (common/manifests) as
# resource 1 of type RT_MANIFEST, the one the system reads when the program starts. A program
# must not carry a manifest resource 1 of its own besides.
function(zep_program_manifest target kind)
  string(TOLOWER ${kind} kind)
  set(manifest ${CMAKE_SOURCE_DIR}/common/manifests/${kind}_program.manifest)
  if(NOT EXISTS ${manifest})
    message(FATAL_ERROR "zep_program_manifest(${target}): no ${manifest}")
  endif()
  set(rc ${CMAKE_BINARY_DIR}/manifests/${kind}_program.rc)
  file(WRITE ${rc}.tmp "1 24 \"${manifest}\"\n")
  file(COPY_FILE ${rc}.tmp ${rc} ONLY_IF_DIFFERENT)
  target_sources(${target} PRIVATE ${rc})
  set_property(SOURCE ${rc} TARGET_DIRECTORY ${target} APPEND PROPERTY OBJECT_DEPENDS ${manifest})
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

# Every C++ target defined below dir (googletest's own excluded).
function(zep_collect_cxx_targets dir out)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  set(result)
  foreach(t ${targets})
    get_target_property(type ${t} TYPE)
    get_target_property(source_dir ${t} SOURCE_DIR)
    get_target_property(sources ${t} SOURCES)
    list(FILTER sources INCLUDE REGEX "\\.cpp$")
    string(FIND "${source_dir}/" "${CMAKE_SOURCE_DIR}/" in_tree)
    if(type MATCHES "^(STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|EXECUTABLE)$"
       AND in_tree EQUAL 0 AND sources)
      list(APPEND result ${t})
    endif()
  endforeach()
  foreach(sub ${subdirs})
    zep_collect_cxx_targets(${sub} sub_targets)
    list(APPEND result ${sub_targets})
  endforeach()
  set(${out} ${result} PARENT_SCOPE)
endfunction()

# The platform headers (common/pch/windows_pch.h) are precompiled once and every C++ target of
# the tree reuses them: they are most of what a file of this tree costs to compile. ccache
# caches such compiles only when told to overlook the precompiled header's defines and time
# macros, which the launcher is given here.
option(ZEP_PCH "Precompile the Windows and COM headers once for the whole tree" ON)
function(zep_enable_pch)
  if(NOT ZEP_PCH)
    return()
  endif()
  add_library(zep_pch STATIC ${CMAKE_SOURCE_DIR}/common/pch/pch_anchor.cpp)
  target_precompile_headers(zep_pch PRIVATE ${CMAKE_SOURCE_DIR}/common/pch/windows_pch.h)
  zep_collect_cxx_targets(${CMAKE_SOURCE_DIR} targets)
  list(REMOVE_ITEM targets zep_pch)
  foreach(t ${targets})
    target_precompile_headers(${t} REUSE_FROM zep_pch)
  endforeach()
  if(CMAKE_CXX_COMPILER_LAUNCHER MATCHES "ccache")
    foreach(t zep_pch ${targets})
      set_property(TARGET ${t} PROPERTY CXX_COMPILER_LAUNCHER
        env CCACHE_SLOPPINESS=pch_defines,time_macros ${CMAKE_CXX_COMPILER_LAUNCHER})
    endforeach()
  endif()
endfunction()
