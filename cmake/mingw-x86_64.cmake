# Cross build for 64-bit x86 Windows with mingw-w64. It runs the Windows code's tests under
# 64-bit Wine, on machines that cannot start 32-bit programs; the product stays 32-bit.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
set(TEVLIN_WINE_ARCH win64)

include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
