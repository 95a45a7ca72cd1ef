# Settings of every Windows build, native or cross-built.
#
# - The C and C++ runtimes are linked statically, so that the module needs
#   nothing beside it but Windows' own DLLs.
# - nlohmann/json is header-only: found as a package where one is installed
#   for the target, otherwise its headers are taken from
#   KELO_NLOHMANN_JSON_INCLUDE_DIR (by default the build machine's copy; a
#   cross-build links it into the build tree alone, so that no other header
#   of the build machine reaches the Windows compiler).
# - GoogleTest is built from source (KELO_GOOGLETEST_SOURCE_DIR, by default
#   Debian's libgtest-dev sources) with the same compiler as the tests.
# - cmake --install puts Kelo.vst3 into the system-wide VST 3 folder that
#   hosts search, %CommonProgramFiles%\VST3 (C:\Program Files\Common
#   Files\VST3; installing there needs an administrator), unless
#   CMAKE_INSTALL_PREFIX names another (the per-user folder is
#   %LOCALAPPDATA%\Programs\Common\VST3).
if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT AND DEFINED ENV{CommonProgramFiles})
  file(TO_CMAKE_PATH "$ENV{CommonProgramFiles}/VST3" kelo_vst3_folder)
  set(CMAKE_INSTALL_PREFIX "${kelo_vst3_folder}" CACHE PATH "Where cmake --install puts Kelo.vst3" FORCE)
endif()

if(MSVC)
  set(CMAKE_MSVC_RUNTIME_LIBRARY "MultiThreaded$<$<CONFIG:Debug>:Debug>")
  add_compile_options(/utf-8 /Zc:__cplusplus)
elseif(MINGW)
  add_link_options(-static -static-libgcc -static-libstdc++)
  # The SDK's Windows code uses the Unicode Win32 names.
  add_compile_definitions(UNICODE _UNICODE)
endif()

find_package(nlohmann_json 3.11 QUIET)
if(NOT nlohmann_json_FOUND)
  set(KELO_NLOHMANN_JSON_INCLUDE_DIR "/usr/include" CACHE PATH
      "Folder holding nlohmann/json.hpp, for a Windows build without the nlohmann_json package")
  if(NOT EXISTS "${KELO_NLOHMANN_JSON_INCLUDE_DIR}/nlohmann/json.hpp")
    message(FATAL_ERROR "No nlohmann/json.hpp in KELO_NLOHMANN_JSON_INCLUDE_DIR='${KELO_NLOHMANN_JSON_INCLUDE_DIR}'")
  endif()
  set(kelo_json_include "${KELO_NLOHMANN_JSON_INCLUDE_DIR}")
  if(CMAKE_CROSSCOMPILING)
    set(kelo_json_include "${CMAKE_BINARY_DIR}/third_party/include")
    file(MAKE_DIRECTORY "${kelo_json_include}")
    if(NOT EXISTS "${kelo_json_include}/nlohmann")
      file(CREATE_LINK "${KELO_NLOHMANN_JSON_INCLUDE_DIR}/nlohmann" "${kelo_json_include}/nlohmann" SYMBOLIC)
    endif()
  endif()
  add_library(kelo_nlohmann_json INTERFACE)
  target_include_directories(kelo_nlohmann_json SYSTEM INTERFACE "${kelo_json_include}")
  add_library(nlohmann_json::nlohmann_json ALIAS kelo_nlohmann_json)
endif()

# kelo_windows_googletest(): GTest::gtest, GTest::gtest_main and GTest::gmock
# built from KELO_GOOGLETEST_SOURCE_DIR, for a build with no GoogleTest package
# for its target.
function(kelo_windows_googletest)
  set(KELO_GOOGLETEST_SOURCE_DIR "/usr/src/googletest" CACHE PATH "GoogleTest's sources (libgtest-dev)")
  if(NOT EXISTS "${KELO_GOOGLETEST_SOURCE_DIR}/CMakeLists.txt")
    message(FATAL_ERROR "No GoogleTest sources at KELO_GOOGLETEST_SOURCE_DIR='${KELO_GOOGLETEST_SOURCE_DIR}'")
  endif()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  add_subdirectory("${KELO_GOOGLETEST_SOURCE_DIR}" "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL)
  # Newer GoogleTest sources name their targets GTest::… themselves.
  foreach(name gtest gtest_main gmock)
    if(NOT TARGET GTest::${name})
      add_library(GTest::${name} ALIAS ${name})
    endif()
  endforeach()
endfunction()

# kelo_add_wine_test(<target> LABELS ...): one test for the whole program.
# Under Wine every process costs its start-up, so a cross-build runs each test
# program once instead of once per test case.
function(kelo_add_wine_test target)
  cmake_parse_arguments(arg "" "" "LABELS" ${ARGN})
  add_test(NAME ${target} COMMAND ${target} --gtest_brief=1)
  set_tests_properties(${target} PROPERTIES LABELS "windows;${arg_LABELS}" TIMEOUT 300)
endfunction()
