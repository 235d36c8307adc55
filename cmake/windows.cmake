# The cross build: Brelquin.exe and the programs its end-to-end tests run beside it.
enable_language(RC)

set(BRELQUIN_SHELL_SOURCES
  src/file_system/file_system_win32.cpp
  src/main_flow/desktop_folder_win32.cpp
  src/main_flow/target_source_win32.cpp
  src/messages/message_box_win32.cpp
  src/wipe/progress_window_win32.cpp
)
list(TRANSFORM BRELQUIN_SHELL_SOURCES PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/)

add_library(brelquin_program STATIC ${BRELQUIN_CORE_SOURCES} ${BRELQUIN_SHELL_SOURCES})
target_include_directories(brelquin_program PUBLIC
  ${CMAKE_CURRENT_SOURCE_DIR}/src ${CMAKE_CURRENT_SOURCE_DIR}/res
  ${CMAKE_CURRENT_BINARY_DIR}/generated)
# Wide calls only; no exceptions, no RTTI: the program uses neither.
target_compile_definitions(brelquin_program PUBLIC UNICODE _UNICODE WIN32_LEAN_AND_MEAN)
target_compile_options(brelquin_program PUBLIC
  ${BRELQUIN_WARNINGS} -fno-exceptions -fno-rtti -fno-threadsafe-statics -Os)
# Static runtime: the executable imports Windows' own DLLs and nothing else.
target_link_options(brelquin_program PUBLIC -static -static-libgcc -static-libstdc++ -s)
target_link_libraries(brelquin_program PUBLIC comdlg32 ole32 shell32 shlwapi user32)

add_executable(Brelquin WIN32 src/main_flow/win_main.cpp res/brelquin.rc)
# windres can't tell what the script pulls in; without this a redrawn icon goes unnoticed.
set_source_files_properties(res/brelquin.rc PROPERTIES OBJECT_DEPENDS
  "${CMAKE_CURRENT_SOURCE_DIR}/res/brelquin.ico;${CMAKE_CURRENT_SOURCE_DIR}/res/brelquin.manifest")
target_link_libraries(Brelquin PRIVATE brelquin_program)

foreach(extra tests/shell tests/e2e/driver)
  if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${extra}/CMakeLists.txt)
    add_subdirectory(${extra})
  endif()
endforeach()

# The version resource repeats the project version; missing parts of it count as 0.
foreach(part IN ITEMS PATCH TWEAK)
  set(BRELQUIN_VERSION_${part} 0)
  if(NOT "${PROJECT_VERSION_${part}}" STREQUAL "")
    set(BRELQUIN_VERSION_${part} ${PROJECT_VERSION_${part}})
  endif()
endforeach()
configure_file(res/version.h.in generated/version.h @ONLY)
set_property(SOURCE res/brelquin.rc APPEND PROPERTY OBJECT_DEPENDS
  "${CMAKE_CURRENT_BINARY_DIR}/generated/version.h")

# The same sources give the same bytes wherever and whenever they are built: the
# linker leaves the PE header's time stamp at zero, and no source or build folder
# reaches the objects through __FILE__ or debug information.
target_link_options(Brelquin PRIVATE -Wl,--no-insert-timestamp)
target_compile_options(brelquin_program PUBLIC
  -ffile-prefix-map=${CMAKE_CURRENT_SOURCE_DIR}/=
  -ffile-prefix-map=${CMAKE_CURRENT_BINARY_DIR}/=)
