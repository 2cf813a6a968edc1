# Tolvik.exe: start-up, single instance and the main window. The window logic is a static
# library so the tests drive the same code without the program's entry point.
file(GLOB TOLVIK_APP_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
list(REMOVE_ITEM TOLVIK_APP_SOURCES ${CMAKE_CURRENT_LIST_DIR}/tolvik_main.cpp)

add_library(tolvik_app STATIC ${TOLVIK_APP_SOURCES})
target_link_libraries(tolvik_app PUBLIC zep_common gdiplus comctl32 version shell32 user32 gdi32 ole32)
target_link_libraries(tolvik_app PUBLIC tolvik_settings tolvik_skin)

# Resources shared by the program and the window tests.
set(TOLVIK_RC ${CMAKE_CURRENT_LIST_DIR}/tolvik.rc)

# tolvik_add_resources(<target>): compiles tolvik.rc into <target> with the settings template
# and the skin bitmaps it includes.
function(tolvik_add_resources target)
  target_sources(${target} PRIVATE ${TOLVIK_RC})
  set_property(SOURCE ${TOLVIK_RC} TARGET_DIRECTORY ${target} APPEND PROPERTY OBJECT_DEPENDS
    ${CMAKE_SOURCE_DIR}/launcher/resource.h ${TOLVIK_ICON}
    ${TOLVIK_SETTINGS_RC_DEPENDS})
  tolvik_icon_resources(${target})
  tolvik_skin_resources(${target})
endfunction()

if(EXISTS ${CMAKE_CURRENT_LIST_DIR}/tolvik_main.cpp)
  add_executable(Tolvik WIN32 ${CMAKE_CURRENT_LIST_DIR}/tolvik_main.cpp)
  target_link_libraries(Tolvik PRIVATE tolvik_app)
  target_link_options(Tolvik PRIVATE -municode)
  tolvik_add_resources(Tolvik)
  zep_program_manifest(Tolvik WINDOWED)
  zep_check_imports(Tolvik)
endif()

if(EXISTS ${CMAKE_CURRENT_LIST_DIR}/tests/CMakeLists.txt)
  add_subdirectory(${CMAKE_CURRENT_LIST_DIR}/tests ${CMAKE_CURRENT_BINARY_DIR}/tolvik_tests)
endif()
