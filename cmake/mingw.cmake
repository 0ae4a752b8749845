# What both MinGW-w64 toolchains share; the including file sets CMAKE_SYSTEM_PROCESSOR.
# The posix-thread compilers, because GoogleTest needs std::mutex.
set(CMAKE_SYSTEM_NAME Windows)
set(QF_MINGW ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32)

set(CMAKE_C_COMPILER ${QF_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QF_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${QF_MINGW}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QF_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# ctest runs the cross-built tests through Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
