# Project-wide compile settings and the helpers that define tests.

add_library(folio_options INTERFACE)
target_compile_features(folio_options INTERFACE cxx_std_20)
target_include_directories(folio_options INTERFACE ${PROJECT_SOURCE_DIR})
target_compile_options(folio_options INTERFACE -Wall -Wextra -Wpedantic -Wno-missing-field-initializers)
# GCC 12 reports false -Wrestrict overlaps inside std::string at -O2 (GCC bug 105329).
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  target_compile_options(folio_options INTERFACE -Wno-restrict)
endif()

if(WIN32)
  # Unicode Win32 API, no min/max macros, Windows 7 as the floor for declarations.
  target_compile_definitions(folio_options INTERFACE
    UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
  # No symbol table after the sections: a packaged executable's archive starts where
  # the last section ends, so nothing else may follow it.
  target_link_options(folio_options INTERFACE $<$<CONFIG:Release>:-s>)
  # The C++ runtime linked in, for libraries as well (the browser loader stand-ins):
  # a DLL that needs libstdc++ beside it does not load.
  target_link_options(folio_options INTERFACE -static -static-libgcc -static-libstdc++)
endif()

if(FOLIO_FUZZ)
  # Coverage for libFuzzer on everything; the fuzz targets link the fuzzer's main.
  target_compile_options(folio_options INTERFACE
    -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_link_options(folio_options INTERFACE -fsanitize=address,undefined)
elseif(FOLIO_SANITIZE AND NOT WIN32)
  target_compile_options(folio_options INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_link_options(folio_options INTERFACE -fsanitize=address,undefined)
endif()

# Where the wine tier's wrapper lives; used by folio_add_test on Windows builds.
set(FOLIO_WINE_RUN ${PROJECT_SOURCE_DIR}/scripts/wine-run)

# folio_add_test(NAME name SOURCES ... LIBS ... [DISPLAY] [LOCALE ll_CC.UTF-8] [LABEL l] [ARGS ...])
# A GoogleTest executable. On the host it is one ctest test labelled "unit";
# in the win64 build it runs under Wine with the label "wine" (or LABEL); the win32 build
# compiles and links it (32-bit programs cannot run here).
function(folio_add_test)
  cmake_parse_arguments(T "DISPLAY" "NAME;LOCALE;EXECUTABLE;LABEL" "SOURCES;LIBS;ARGS" ${ARGN})
  if(NOT T_LABEL)
    set(T_LABEL wine)
  endif()
  if(T_EXECUTABLE)
    # Another run of an executable that an earlier call defined (other locale or arguments).
    set(exe ${T_EXECUTABLE})
  else()
    set(exe ${T_NAME})
    add_executable(${T_NAME} ${T_SOURCES})
  endif()
  if(NOT T_EXECUTABLE)
    target_link_libraries(${T_NAME} PRIVATE folio_options ${T_LIBS} GTest::gtest GTest::gtest_main)
    set_property(GLOBAL APPEND PROPERTY FOLIO_CONSOLE_EXECUTABLES ${T_NAME})
  endif()
  if(NOT WIN32)
    add_test(NAME ${T_NAME} COMMAND ${exe} --gtest_brief=1 ${T_ARGS})
    set_tests_properties(${T_NAME} PROPERTIES LABELS unit)
  elseif(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
    set(options "")
    if(T_DISPLAY)
      list(APPEND options --display)
    endif()
    if(T_LOCALE)
      list(APPEND options --locale ${T_LOCALE})
    endif()
    add_test(NAME ${T_NAME}
      COMMAND ${FOLIO_WINE_RUN} ${options} --prefix ${CMAKE_BINARY_DIR}/wineprefix --gtest
              $<TARGET_FILE:${exe}> --gtest_brief=1 ${T_ARGS})
    set_tests_properties(${T_NAME} PROPERTIES LABELS ${T_LABEL} FIXTURES_REQUIRED wineprefix)
  endif()
endfunction()

# folio_add_pe_check(): one test that checks every Windows executable of the build
# (machine type, subsystem, static runtime). Called once, after all targets exist.
function(folio_add_pe_check)
  if(NOT WIN32)
    return()
  endif()
  if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
    set(machine x86-64)
  else()
    set(machine i386)
  endif()
  set(objdump ${FOLIO_MINGW_TRIPLE}-objdump)
  # One test per kind of file: the targets listed in the property, checked as that subsystem.
  foreach(kind console gui libraries)
    string(TOUPPER ${kind} property)
    if(kind STREQUAL "libraries")
      set(property FOLIO_LIBRARIES)
      set(subsystem any)
    else()
      set(property FOLIO_${property}_EXECUTABLES)
      set(subsystem ${kind})
    endif()
    get_property(targets GLOBAL PROPERTY ${property})
    if(NOT targets)
      continue()
    endif()
    set(files "")
    foreach(t IN LISTS targets)
      list(APPEND files $<TARGET_FILE:${t}>)
    endforeach()
    add_test(NAME pe-check-${kind}
      COMMAND ${PROJECT_SOURCE_DIR}/tests/static/check-pe --objdump ${objdump} --machine ${machine}
              --subsystem ${subsystem} ${files})
    set_tests_properties(pe-check-${kind} PROPERTIES LABELS static)
  endforeach()
  # The runtime runs from wherever users put it (a Downloads folder): it may import only
  # Windows' known DLLs, and Common Controls, which its manifest takes from the system.
  add_test(NAME runtime-imports
    COMMAND ${PROJECT_SOURCE_DIR}/tests/static/check-imports --objdump ${objdump} $<TARGET_FILE:FolioRuntime>
            advapi32.dll comctl32.dll gdi32.dll kernel32.dll msvcrt.dll ole32.dll oleaut32.dll shell32.dll
            shlwapi.dll user32.dll)
  set_tests_properties(runtime-imports PROPERTIES LABELS static)
  # Both programs take the current folder out of the search for libraries named without
  # a path, first thing at their entry.
  add_test(NAME entry-dll-directory
    COMMAND ${PROJECT_SOURCE_DIR}/tests/static/check-imported-functions --objdump ${objdump}
            $<TARGET_FILE:FolioRuntime> $<TARGET_FILE:folio-pack> -- SetDllDirectoryW)
  set_tests_properties(entry-dll-directory PROPERTIES LABELS static)
  # No library of the runtime's code (everything outside tests/) is loaded by a bare
  # name; the sample shows that the check finds such loads, and only those.
  set(check ${PROJECT_SOURCE_DIR}/tests/static/check-library-loads)
  add_test(NAME library-loads COMMAND ${check} ${PROJECT_SOURCE_DIR})
  add_test(NAME library-loads-sample COMMAND ${check} ${PROJECT_SOURCE_DIR}/tests/static/bare-name-loads.sample)
  set_tests_properties(library-loads library-loads-sample PROPERTIES LABELS static)
  set_tests_properties(library-loads-sample PROPERTIES PASS_REGULAR_EXPRESSION
    "sample:3: [^\n]*\nFAIL [^\n]*:4: [^\n]*\nFAIL [^\n]*:5: [^\n]*\nFAIL [^\n]*:7: [^\n]*\nFAIL [^\n]*:8: [^\n]*\n5 bare-name library loads in 1 files")
  # No layer includes a header of a layer above it (ui/ nothing of runtime/; the layers
  # below neither); the sample tree shows what the check finds, and only that.
  set(check ${PROJECT_SOURCE_DIR}/tests/static/check-include-direction)
  set(sample ${PROJECT_SOURCE_DIR}/tests/static/include-direction-sample)
  add_test(NAME include-direction COMMAND ${check} ${PROJECT_SOURCE_DIR})
  add_test(NAME include-direction-sample COMMAND ${check} ${sample})
  set_tests_properties(include-direction include-direction-sample PROPERTIES LABELS static)
  set_tests_properties(include-direction-sample PROPERTIES PASS_REGULAR_EXPRESSION
    "FAIL [^\n]*package/Reader.cpp:4: [^\n]*\nFAIL [^\n]*ui/win32/Form.cpp:4: [^\n]*\nFAIL [^\n]*ui/win32/Form.cpp:6: [^\n]*\n3 includes up the layers\n")
endfunction()

# RapidJSON is header-only; Debian installs it in /usr/include/rapidjson. The cross
# compilers do not search /usr/include, so the build links that one folder into a
# folder of its own that every target may use.
if(NOT EXISTS /usr/include/rapidjson/document.h)
  message(FATAL_ERROR "RapidJSON is missing: run scripts/setup (package rapidjson-dev)")
endif()
set(FOLIO_THIRDPARTY_INCLUDE ${CMAKE_BINARY_DIR}/thirdparty/include)
file(MAKE_DIRECTORY ${FOLIO_THIRDPARTY_INCLUDE})
if(NOT EXISTS ${FOLIO_THIRDPARTY_INCLUDE}/rapidjson)
  file(CREATE_LINK /usr/include/rapidjson ${FOLIO_THIRDPARTY_INCLUDE}/rapidjson SYMBOLIC)
endif()
