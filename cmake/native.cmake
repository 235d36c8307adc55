# The host build: the platform-neutral core under the sanitizers, its unit tests, the
# benchmarks, and the test layers that check the cross-built program.
enable_testing()
find_package(GTest REQUIRED)
find_package(benchmark REQUIRED)

set(BRELQUIN_SANITIZERS -fsanitize=address,undefined -fno-sanitize-recover=all
    -fno-omit-frame-pointer)

# Optimised a little even under the sanitizers: some tests stream gigabytes of pattern.
add_library(brelquin_core STATIC ${BRELQUIN_CORE_SOURCES})
target_include_directories(brelquin_core PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/src)
target_compile_options(brelquin_core PUBLIC ${BRELQUIN_WARNINGS} ${BRELQUIN_SANITIZERS} -O1 -g)
target_link_options(brelquin_core PUBLIC ${BRELQUIN_SANITIZERS})

add_subdirectory(tests/unit)
add_subdirectory(bench)

add_test(NAME static.format COMMAND ${CMAKE_SOURCE_DIR}/scripts/static_check.sh format)
add_test(NAME static.tidy-native
  COMMAND ${CMAKE_SOURCE_DIR}/scripts/static_check.sh native ${CMAKE_BINARY_DIR})

set(BRELQUIN_WIN32_DIR "" CACHE PATH "Folder of the cross build that holds Brelquin.exe")
if(BRELQUIN_WIN32_DIR)
  add_test(NAME static.tidy-win32
    COMMAND ${CMAKE_SOURCE_DIR}/scripts/static_check.sh win32 ${BRELQUIN_WIN32_DIR})
  foreach(layer tests/pe tests/e2e tests/release)
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${layer}/CMakeLists.txt)
      add_subdirectory(${layer})
    endif()
  endforeach()
  brelquin_add_wine_program_test(NAME shell.records
    PROGRAM ${BRELQUIN_WIN32_DIR}/tests/shell/ShellRecordsTest.exe SCRATCH)
endif()
