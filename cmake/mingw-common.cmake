# What the two mingw-w64 cross builds share; the toolchain files set TOOLCHAIN_PREFIX and
# TEVLIN_WINE_ARCH first. The posix-thread compilers are used: the win32-thread ones lack
# std::mutex and std::thread.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER   ${TOOLCHAIN_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOOLCHAIN_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER  ${TOOLCHAIN_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One self-contained executable: no libgcc, libstdc++ or winpthread DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# zlib from Debian's mingw package (both architectures), linked statically.
set(ZLIB_LIBRARY /usr/${TOOLCHAIN_PREFIX}/lib/libz.a CACHE FILEPATH "")
set(ZLIB_INCLUDE_DIR /usr/${TOOLCHAIN_PREFIX}/include CACHE PATH "")

# Tests run under the Wine of the build's own pointer size, in a prefix inside the build
# folder.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh ${TEVLIN_WINE_ARCH})
