# Cross-build for 64-bit Windows with Debian's mingw-w64 (GCC 12, posix threads).
#   cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake
# scripts/build-windows does exactly that. The programs and tests run here under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CALVENTA_MINGW_PREFIX x86_64-w64-mingw32)

# The -posix variants give std::thread and std::mutex through winpthreads.
set(CMAKE_C_COMPILER ${CALVENTA_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${CALVENTA_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${CALVENTA_MINGW_PREFIX}-windres)

# Libraries and headers come from the mingw sysroot only: /usr/include belongs to Linux.
set(CMAKE_FIND_ROOT_PATH /usr/${CALVENTA_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Static runtime: the .exe needs no libstdc++/libgcc/winpthread DLL beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs (and the test discovery at build time) run through Wine in a private prefix
# under the build tree, so no user's ~/.wine is touched and a run does not depend on it.
# A -DCMAKE_CROSSCOMPILING_EMULATOR=… on the command line wins.
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
    set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/wine-run;--prefix;${CMAKE_BINARY_DIR}/wine-prefix")
endif()
