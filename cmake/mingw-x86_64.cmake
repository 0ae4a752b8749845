# A 64-bit build of the same sources, only for running the Win32 and end-to-end tests
# under 64-bit Wine on kernels that run no 32-bit programs. The product is the i686 build.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
