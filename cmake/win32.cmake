# The product and its Win32 tests, cross-built for i686 and run under Wine.
add_compile_options(-Wall -Wextra -ffunction-sections -fdata-sections)
# Only Windows system DLLs at run time; ASLR and DEP on.
add_link_options(-static -static-libgcc -static-libstdc++ -Wl,--gc-sections -Wl,--dynamicbase -Wl,--nxcompat)

add_library(reminder STATIC ${REMINDER_SOURCES})
target_include_directories(reminder PUBLIC src/reminder)
target_link_libraries(reminder PUBLIC advapi32 winmm)

# Win32 tests: one executable per area, each run once under Wine.
if(NOT EXISTS ${GOOGLETEST_SOURCE}/CMakeLists.txt)
    return() # a plain product build, e.g. on Windows
endif()
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
add_subdirectory(${GOOGLETEST_SOURCE} googletest EXCLUDE_FROM_ALL SYSTEM)

add_executable(win32_core_tests tests/win32/test_core.cpp)
target_link_libraries(win32_core_tests PRIVATE reminder GTest::gtest_main)
add_test(NAME win32.core COMMAND win32_core_tests)
