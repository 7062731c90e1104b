# Cross build for Windows x86-64 with Debian's mingw-w64, posix thread model (std::thread).
#   cmake --preset windows      or      cmake -S . -B build/windows -G Ninja \
#     -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VELL_MINGW_HOST x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VELL_MINGW_HOST}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELL_MINGW_HOST}-g++-posix)
set(CMAKE_RC_COMPILER ${VELL_MINGW_HOST}-windres)

# Headers, libraries and packages come from the mingw tree only; tools from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${VELL_MINGW_HOST})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# pkg-config must not hand out the host's libraries either.
set(ENV{PKG_CONFIG_LIBDIR} /usr/${VELL_MINGW_HOST}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")

# libgcc, libstdc++ and winpthread linked in: a program needs only the FFmpeg DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -static)
set(CMAKE_MODULE_LINKER_FLAGS_INIT -static)

# Built programs run under wine (CTest, gtest_discover_tests, try_run).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run.sh)
