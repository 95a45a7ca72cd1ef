# Cross-builds the Windows x64 module on Linux with Debian's mingw-w64
# (packages g++-mingw-w64-x86-64-posix and binutils-mingw-w64-x86-64):
#
#   cmake -S . -B build-win -G Ninja \
#     -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64-x86_64.cmake
#
# The posix flavour of the compiler is the one with std::thread and
# std::mutex. Test programs run under Wine (wine64) through the emulator below.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(KELO_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KELO_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KELO_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${KELO_MINGW_PREFIX}-windres)
set(CMAKE_AR ${KELO_MINGW_PREFIX}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${KELO_MINGW_PREFIX}-gcc-ranlib-posix CACHE FILEPATH "")
set(CMAKE_OBJDUMP ${KELO_MINGW_PREFIX}-objdump CACHE FILEPATH "")

# Only the target's own libraries and headers; the build machine's /usr/include
# must never reach the Windows compiler.
set(CMAKE_FIND_ROOT_PATH /usr/${KELO_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test programs run through Wine; see tools/wine-run.sh.
get_filename_component(_kelo_root "${CMAKE_CURRENT_LIST_DIR}/../.." ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR "${_kelo_root}/tools/wine-run.sh")
