# The product and its Win32 tests, cross-built for i686 and run under Wine.
add_compile_options(-Wall -Wextra -ffunction-sections -fdata-sections)
# Only Windows system DLLs at run time; ASLR and DEP on.
add_link_options(-static -static-libgcc -static-libstdc++ -Wl,--gc-sections -Wl,--dynamicbase -Wl,--nxcompat)

add_library(reminder STATIC ${REMINDER_SOURCES})
target_include_directories(reminder PUBLIC src/reminder)
target_link_libraries(reminder PUBLIC advapi32)

# Everything but the entry point, so the Win32 tests can drive the same code.
add_library(shell OBJECT src/shell/mainwnd.cpp src/shell/tray.cpp)
target_include_directories(shell PUBLIC src/shell res)
target_link_libraries(shell PUBLIC reminder user32 shell32)

add_library(dialogs OBJECT
    src/dialogs/skin.cpp
    src/dialogs/skinned.cpp
    src/dialogs/setup.cpp
    src/dialogs/warning.cpp)
target_include_directories(dialogs PUBLIC src/dialogs res)
target_link_libraries(dialogs PUBLIC reminder user32 gdi32 shell32)

file(GLOB ASSETS CONFIGURE_DEPENDS res/assets/* res/*.manifest)
set_source_files_properties(res/quilmaren.rc PROPERTIES OBJECT_DEPENDS "${ASSETS};${CMAKE_SOURCE_DIR}/res/resource.h")

add_executable(QuilmarenFilters WIN32 src/shell/winmain.cpp res/quilmaren.rc)
target_link_libraries(QuilmarenFilters PRIVATE shell dialogs)
target_link_options(QuilmarenFilters PRIVATE -s)

# Win32 tests: one executable per area, each run once under Wine.
if(NOT EXISTS ${GOOGLETEST_SOURCE}/CMakeLists.txt)
    return() # a plain product build, e.g. on Windows
endif()
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
add_subdirectory(${GOOGLETEST_SOURCE} googletest EXCLUDE_FROM_ALL SYSTEM)

add_executable(win32_core_tests tests/win32/test_core.cpp)
target_link_libraries(win32_core_tests PRIVATE reminder GTest::gtest_main)
add_test(NAME win32.core COMMAND win32_core_tests)

add_executable(win32_resource_tests tests/win32/test_resources.cpp)
target_link_libraries(win32_resource_tests PRIVATE dialogs version GTest::gtest_main)
add_dependencies(win32_resource_tests QuilmarenFilters)
add_test(NAME win32.resources COMMAND win32_resource_tests)

add_executable(win32_shell_tests tests/win32/test_shell.cpp res/quilmaren.rc)
target_link_libraries(win32_shell_tests PRIVATE shell GTest::gtest_main)
add_test(NAME win32.shell COMMAND win32_shell_tests)

add_library(bare_resources SHARED tests/win32/bare.c tests/win32/bare.rc)
set_target_properties(bare_resources PROPERTIES PREFIX "")
target_include_directories(bare_resources PRIVATE res)

add_executable(win32_dialog_tests tests/win32/test_dialogs.cpp res/quilmaren.rc)
target_link_libraries(win32_dialog_tests PRIVATE dialogs GTest::gtest)
add_dependencies(win32_dialog_tests bare_resources)
add_test(NAME win32.dialogs COMMAND win32_dialog_tests)
add_test(NAME win32.hardening
    COMMAND /usr/bin/python3 ${CMAKE_SOURCE_DIR}/tests/check_hardening.py $<TARGET_FILE:QuilmarenFilters>)

# They share the registry key, the tray and the display: one at a time.
set_tests_properties(win32.core win32.resources win32.shell win32.dialogs PROPERTIES TIMEOUT 300 RUN_SERIAL TRUE)

# End-to-end: the real program driven through the tray, keyboard and mouse.
add_test(NAME e2e.program
    COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/e2e/test_program.py $<TARGET_FILE:QuilmarenFilters>
            ${CMAKE_BINARY_DIR}/screenshots)
set_tests_properties(e2e.program PROPERTIES TIMEOUT 900 RUN_SERIAL TRUE)

# Packages: a portable ZIP and a per-user NSIS installer (when makensis is present).
find_program(MAKENSIS makensis)
set(PACKAGE_DIR ${CMAKE_BINARY_DIR}/packages)
set(PACKAGE_ZIP ${PACKAGE_DIR}/QuilmarenFilters-${PROJECT_VERSION}-portable.zip)
set(PACKAGE_SETUP ${PACKAGE_DIR}/QuilmarenFilters-${PROJECT_VERSION}-setup.exe)
add_custom_command(OUTPUT ${PACKAGE_ZIP}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${PACKAGE_DIR}/zip
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PACKAGE_DIR}/zip
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:QuilmarenFilters> ${PACKAGE_DIR}/zip/QuilmarenFilters.exe
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/packaging/readme.txt ${PACKAGE_DIR}/zip/readme.txt
    COMMAND ${CMAKE_COMMAND} -E chdir ${PACKAGE_DIR}/zip
            ${CMAKE_COMMAND} -E tar cf ${PACKAGE_ZIP} --format=zip --mtime=2026-01-01 QuilmarenFilters.exe readme.txt
    DEPENDS QuilmarenFilters packaging/readme.txt
    COMMENT "Portable ZIP")
set(PACKAGE_OUTPUTS ${PACKAGE_ZIP})
if(MAKENSIS)
    add_custom_command(OUTPUT ${PACKAGE_SETUP}
        COMMAND ${MAKENSIS} -V2 -DVERSION=${PROJECT_VERSION} -DEXE=$<TARGET_FILE:QuilmarenFilters>
                -DREADME=${CMAKE_SOURCE_DIR}/packaging/readme.txt -DICON=${CMAKE_SOURCE_DIR}/res/assets/kavricon.ico
                -DOUTFILE=${PACKAGE_SETUP} ${CMAKE_SOURCE_DIR}/packaging/quilmaren.nsi
        DEPENDS QuilmarenFilters packaging/quilmaren.nsi packaging/readme.txt
        COMMENT "NSIS installer")
    list(APPEND PACKAGE_OUTPUTS ${PACKAGE_SETUP})
endif()
add_custom_target(packages ALL DEPENDS ${PACKAGE_OUTPUTS})
if(MAKENSIS)
    add_test(NAME e2e.packages
        COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/e2e/test_install.py ${PACKAGE_SETUP} ${PACKAGE_ZIP})
    set_tests_properties(e2e.packages PROPERTIES TIMEOUT 600 RUN_SERIAL TRUE)
endif()

# Benchmark programs (bench/run.sh): the same toolchain and flags as the product.
add_executable(bench_baseline WIN32 bench/baseline.cpp)
target_link_libraries(bench_baseline PRIVATE shell32)
target_link_options(bench_baseline PRIVATE -s)
add_executable(bench_paint bench/paint.cpp res/quilmaren.rc)
target_link_libraries(bench_paint PRIVATE dialogs)
