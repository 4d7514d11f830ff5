# Shared build settings: warnings, ccache and small helpers for the folder targets.

find_program(KIVO_CCACHE ccache)
if(KIVO_CCACHE)
  set(CMAKE_C_COMPILER_LAUNCHER ${KIVO_CCACHE})
  set(CMAKE_CXX_COMPILER_LAUNCHER ${KIVO_CCACHE})
endif()

find_package(PkgConfig REQUIRED)
find_package(nlohmann_json 3 REQUIRED)
find_package(fmt REQUIRED)

# Warnings for our own code; third-party headers come in as SYSTEM includes.
add_library(kivo_warnings INTERFACE)
target_compile_options(kivo_warnings INTERFACE
  $<$<COMPILE_LANGUAGE:CXX>:-Wall -Wextra -Wno-missing-field-initializers>)

# All sources include by path from the repository root: "runtime/ui/canvas.h".
set(KIVO_ROOT ${CMAKE_CURRENT_SOURCE_DIR})

# kivo_library(NAME SOURCES... [DEPS ...]): a static library of one folder.
function(kivo_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;PRIVATE_DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${KIVO_ROOT})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE kivo_warnings ${ARG_PRIVATE_DEPS})
endfunction()

# kivo_test(NAME SOURCES... [DEPS ...]): one GoogleTest binary registered with CTest.
function(kivo_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main GTest::gmock kivo_warnings)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS "${ARG_LABELS}")
endfunction()

# Adds every direct child folder of DIR that holds a CMakeLists.txt.
function(kivo_add_subdirectories dir)
  file(GLOB children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}/${dir} ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*)
  list(SORT children)
  foreach(child ${children})
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/${child}/CMakeLists.txt)
      add_subdirectory(${dir}/${child})
    endif()
  endforeach()
endfunction()
