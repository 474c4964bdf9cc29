# Cross build for 32-bit x86 Windows with mingw-w64: tevlin.exe, the product.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TOOLCHAIN_PREFIX i686-w64-mingw32)
set(TEVLIN_WINE_ARCH win32)

# Every x86 processor that runs a supported Windows has SSE2: use it for floats and pixels.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")

include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
