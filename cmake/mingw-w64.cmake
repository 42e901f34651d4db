# Toolchain for 64-bit Windows executables built with MinGW-w64 on Linux.
#
#   cmake -S . -B /tmp/keyseq-win --toolchain cmake/mingw-w64.cmake
#
# Uses the "-posix" compilers: their thread model provides std::mutex and
# std::thread, which GoogleTest needs. Everything is linked statically so the
# executables need no libstdc++/libgcc/libwinpthread DLLs (without that, Wine
# exits with status 53 and prints nothing). Tests run under Wine through
# tools/wine-run, which CMake and ctest use as the cross-compiling emulator.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_keyseq_mingw x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${_keyseq_mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_keyseq_mingw}-g++-posix)
set(CMAKE_RC_COMPILER ${_keyseq_mingw}-windres)
set(CMAKE_AR ${_keyseq_mingw}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${_keyseq_mingw}-gcc-ranlib-posix CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${_keyseq_mingw})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

get_filename_component(_keyseq_root "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR "${_keyseq_root}/tools/wine-run")
