# The product and its Win32 tests, cross-built for i686 and run under Wine.
add_compile_options(-Wall -Wextra -ffunction-sections -fdata-sections)
# Only Windows system DLLs at run time; ASLR and DEP on.
add_link_options(-static -static-libgcc -static-libstdc++ -Wl,--gc-sections -Wl,--dynamicbase -Wl,--nxcompat)

# The version resource takes the project version from here.
configure_file(res/version.h.in ${CMAKE_BINARY_DIR}/generated/version.h @ONLY)
include_directories(${CMAKE_BINARY_DIR}/generated)

add_library(reminder STATIC ${REMINDER_SOURCES} src/reminder/eventlog.cpp)
target_include_directories(reminder PUBLIC src/reminder)
target_link_libraries(reminder PUBLIC advapi32)

# The shell's "open", which both Help and the dialogs' link use.
add_library(opening STATIC src/shell/open.cpp)
target_include_directories(opening PUBLIC src/shell res)
target_link_libraries(opening PUBLIC reminder user32 shell32)

# Everything but the entry point, so the Win32 tests can drive the same code.
add_library(shell OBJECT src/shell/mainwnd.cpp src/shell/tray.cpp src/shell/tooltip.cpp src/shell/help.cpp)
target_include_directories(shell PUBLIC src/shell res)
target_link_libraries(shell PUBLIC reminder opening user32 shell32)

add_library(dialogs OBJECT
    src/dialogs/skin.cpp
    src/dialogs/skinned.cpp
    src/dialogs/placement.cpp
    src/dialogs/dpi.cpp
    src/dialogs/setup.cpp
    src/dialogs/warning.cpp)
target_include_directories(dialogs PUBLIC src/dialogs res)
target_link_libraries(dialogs PUBLIC reminder opening user32 gdi32 shell32)

# The event log's message table, which the resource script takes in.
set(MESSAGE_TABLE ${CMAKE_BINARY_DIR}/generated/MSG00409.bin)
string(REGEX REPLACE "windres$" "windmc" WINDMC ${CMAKE_RC_COMPILER})
add_custom_command(OUTPUT ${MESSAGE_TABLE}
    COMMAND ${WINDMC} -r ${CMAKE_BINARY_DIR}/generated -h ${CMAKE_BINARY_DIR}/generated ${CMAKE_SOURCE_DIR}/res/messages.mc
    DEPENDS res/messages.mc
    COMMENT "Message table")
add_custom_target(messages DEPENDS ${MESSAGE_TABLE})

file(GLOB ASSETS CONFIGURE_DEPENDS res/assets/* res/*.manifest)
set_source_files_properties(res/quilmaren.rc PROPERTIES OBJECT_DEPENDS "${ASSETS};${CMAKE_SOURCE_DIR}/res/resource.h;${MESSAGE_TABLE}")

add_executable(QuilmarenFilters WIN32 src/shell/winmain.cpp res/quilmaren.rc)
target_link_libraries(QuilmarenFilters PRIVATE shell dialogs)
target_link_options(QuilmarenFilters PRIVATE -s)
add_dependencies(QuilmarenFilters messages)

# Only the 32-bit build ships: a 64-bit one exists to run the tests where Wine can run
# nothing else.
set(QF_SHIPPED_BUILD FALSE)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(QF_SHIPPED_BUILD TRUE)
endif()

# Packages: the program, a portable ZIP and a per-user NSIS installer (when makensis is
# present), and their SHA256SUMS. Every time stamp in them is the commit's.
if(QF_SHIPPED_BUILD)
    find_program(MAKENSIS makensis)
    find_package(Python3 REQUIRED COMPONENTS Interpreter)
    set(PACKAGE_TOOL ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tools/package_files.py)
    set(PACKAGE_DIR ${CMAKE_BINARY_DIR}/packages)
    set(PACKAGE_EXE ${PACKAGE_DIR}/QuilmarenFilters.exe)
    set(PACKAGE_ZIP ${PACKAGE_DIR}/QuilmarenFilters-${PROJECT_VERSION}-portable.zip)
    set(PACKAGE_SETUP ${PACKAGE_DIR}/QuilmarenFilters-${PROJECT_VERSION}-setup.exe)
    set(PACKAGE_FILES $<TARGET_FILE:QuilmarenFilters>=QuilmarenFilters.exe ${CMAKE_SOURCE_DIR}/packaging/readme.txt=readme.txt)
    set(PACKAGE_DEPENDS QuilmarenFilters packaging/readme.txt tools/package_files.py)
    # The administrative template for Group Policy and Intune: in the ZIP and beside it.
    set(TEMPLATE_FILES ${CMAKE_SOURCE_DIR}/packaging/QuilmarenFilters.admx=QuilmarenFilters.admx
        ${CMAKE_SOURCE_DIR}/packaging/en-US/QuilmarenFilters.adml=en-US/QuilmarenFilters.adml)
    set(PACKAGE_TEMPLATE ${PACKAGE_DIR}/QuilmarenFilters.admx ${PACKAGE_DIR}/en-US/QuilmarenFilters.adml)
    add_custom_command(OUTPUT ${PACKAGE_TEMPLATE}
        COMMAND ${PACKAGE_TOOL} stage ${QF_SOURCE_DATE_EPOCH} ${PACKAGE_DIR} ${TEMPLATE_FILES}
        DEPENDS packaging/QuilmarenFilters.admx packaging/en-US/QuilmarenFilters.adml tools/package_files.py
        COMMENT "Administrative template")
    add_custom_command(OUTPUT ${PACKAGE_EXE}
        COMMAND ${PACKAGE_TOOL} stage ${QF_SOURCE_DATE_EPOCH} ${PACKAGE_DIR} $<TARGET_FILE:QuilmarenFilters>=QuilmarenFilters.exe
        DEPENDS ${PACKAGE_DEPENDS}
        COMMENT "Program")
    add_custom_command(OUTPUT ${PACKAGE_ZIP}
        COMMAND ${PACKAGE_TOOL} zip ${QF_SOURCE_DATE_EPOCH} ${PACKAGE_ZIP} ${PACKAGE_FILES} ${TEMPLATE_FILES}
        DEPENDS ${PACKAGE_DEPENDS} packaging/QuilmarenFilters.admx packaging/en-US/QuilmarenFilters.adml
        COMMENT "Portable ZIP")
    set(PACKAGE_OUTPUTS ${PACKAGE_EXE} ${PACKAGE_ZIP} ${PACKAGE_TEMPLATE})
    if(MAKENSIS)
        set(PACKAGE_STAGE ${PACKAGE_DIR}/installer-files)
        add_custom_command(OUTPUT ${PACKAGE_SETUP}
            COMMAND ${PACKAGE_TOOL} stage ${QF_SOURCE_DATE_EPOCH} ${PACKAGE_STAGE} ${PACKAGE_FILES}
            COMMAND ${MAKENSIS} -V2 -DVERSION=${PROJECT_VERSION} -DEXE=${PACKAGE_STAGE}/QuilmarenFilters.exe
                    -DREADME=${PACKAGE_STAGE}/readme.txt -DICON=${CMAKE_SOURCE_DIR}/res/assets/kavricon.ico
                    -DOUTFILE=${PACKAGE_SETUP} ${CMAKE_SOURCE_DIR}/packaging/quilmaren.nsi
            COMMAND ${PACKAGE_TOOL} stamp ${QF_SOURCE_DATE_EPOCH} ${PACKAGE_SETUP}
            DEPENDS ${PACKAGE_DEPENDS} packaging/quilmaren.nsi
            COMMENT "NSIS installer")
        list(APPEND PACKAGE_OUTPUTS ${PACKAGE_SETUP})
    endif()
    # The per-machine MSI for administrators (when wixl is present).
    find_program(WIXL wixl)
    if(WIXL)
        set(PACKAGE_MSI ${PACKAGE_DIR}/QuilmarenFilters-${PROJECT_VERSION}.msi)
        set(PACKAGE_MSI_STAGE ${PACKAGE_DIR}/msi-files)
        add_custom_command(OUTPUT ${PACKAGE_MSI}
            COMMAND ${PACKAGE_TOOL} stage ${QF_SOURCE_DATE_EPOCH} ${PACKAGE_MSI_STAGE} ${PACKAGE_FILES}
                    ${CMAKE_SOURCE_DIR}/res/assets/kavricon.ico=kavricon.ico
            COMMAND ${PACKAGE_TOOL} msi ${QF_SOURCE_DATE_EPOCH} ${PROJECT_VERSION} ${PACKAGE_MSI_STAGE}
                    ${CMAKE_SOURCE_DIR}/packaging/quilmaren.wxs ${PACKAGE_MSI}
            DEPENDS ${PACKAGE_DEPENDS} packaging/quilmaren.wxs
            COMMENT "MSI")
        list(APPEND PACKAGE_OUTPUTS ${PACKAGE_MSI})
    endif()
    add_custom_command(OUTPUT ${PACKAGE_DIR}/SHA256SUMS
        COMMAND ${PACKAGE_TOOL} sums ${PACKAGE_DIR}/SHA256SUMS ${PACKAGE_OUTPUTS}
        DEPENDS ${PACKAGE_OUTPUTS} tools/package_files.py
        COMMENT "SHA256SUMS")
    add_custom_target(packages ALL DEPENDS ${PACKAGE_DIR}/SHA256SUMS)
endif()

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
add_dependencies(win32_shell_tests messages)
target_link_libraries(win32_shell_tests PRIVATE shell psapi GTest::gtest_main)
target_include_directories(win32_shell_tests PRIVATE src/dialogs)
add_dependencies(win32_shell_tests QuilmarenFilters bare_resources)
add_test(NAME win32.shell COMMAND win32_shell_tests)

add_library(bare_resources SHARED tests/win32/bare.c tests/win32/bare.rc)
set_target_properties(bare_resources PROPERTIES PREFIX "")
target_include_directories(bare_resources PRIVATE res)

add_executable(win32_dialog_tests tests/win32/test_dialogs.cpp res/quilmaren.rc)
add_dependencies(win32_dialog_tests messages)
target_link_libraries(win32_dialog_tests PRIVATE dialogs shell GTest::gtest)
add_dependencies(win32_dialog_tests bare_resources)
add_test(NAME win32.dialogs COMMAND win32_dialog_tests)

# Keeps a file in use, for the uninstall test.
add_executable(hold_file tests/win32/hold_file.c)
# Reads balloons and the foreground window for the end-to-end tests.
add_executable(e2e_probe tests/e2e/probe.c)

if(QF_SHIPPED_BUILD)
    add_test(NAME win32.hardening
        COMMAND /usr/bin/python3 ${CMAKE_SOURCE_DIR}/tests/check_hardening.py $<TARGET_FILE:QuilmarenFilters>)
endif()

# They share the registry key, the tray and the display: one at a time, while tests that
# need none of them run beside them.
set(WINE_TESTS win32.core win32.resources win32.shell win32.dialogs)
set_tests_properties(${WINE_TESTS} PROPERTIES TIMEOUT 300)

# End-to-end: the real program driven through the tray, keyboard and mouse.
add_test(NAME e2e.program
    COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/e2e/test_program.py $<TARGET_FILE:QuilmarenFilters>
            ${CMAKE_BINARY_DIR}/screenshots Shell Dialogs Managed)
set_tests_properties(e2e.program PROPERTIES TIMEOUT 900)
list(APPEND WINE_TESTS e2e.program)
# Lanes of their own (a display and a prefix each), beside the tests that share one: the
# test that waits a minute for the program's timer, which starts first; the tests of a
# second start, which may see no other copy; the two-monitor test; and the packages.
set(OWN_PREFIX ${CMAKE_SOURCE_DIR}/tools/with-wine.sh)
add_test(NAME e2e.tick
    COMMAND ${OWN_PREFIX} python3 ${CMAKE_SOURCE_DIR}/tests/e2e/test_program.py $<TARGET_FILE:QuilmarenFilters>
            ${CMAKE_BINARY_DIR}/screenshots Tick)
set_tests_properties(e2e.tick PROPERTIES COST 1000)
add_test(NAME e2e.instances
    COMMAND ${OWN_PREFIX} python3 ${CMAKE_SOURCE_DIR}/tests/e2e/test_program.py $<TARGET_FILE:QuilmarenFilters>
            ${CMAKE_BINARY_DIR}/screenshots Instances)
set_tests_properties(e2e.instances PROPERTIES COST 500)
add_test(NAME e2e.monitors
    COMMAND env QF_MONITORS=2 ${OWN_PREFIX} python3 ${CMAKE_SOURCE_DIR}/tests/e2e/test_program.py
            $<TARGET_FILE:QuilmarenFilters> ${CMAKE_BINARY_DIR}/screenshots TwoMonitors)
set_tests_properties(e2e.monitors PROPERTIES COST 500 SKIP_RETURN_CODE 77)
set(OWN_PREFIX_TESTS e2e.tick e2e.instances e2e.monitors)

# The MSI: under 64-bit Wine the 32-bit package installs, but its program cannot run.
set(QF_MSI ${CMAKE_SOURCE_DIR}/build/win32/packages/QuilmarenFilters-${PROJECT_VERSION}.msi)
find_program(WIXL wixl)
if(WIXL)
    set(QF_MSI_ARGS ${QF_MSI} ${PROJECT_VERSION} $<TARGET_FILE:e2e_probe>)
    if(NOT QF_SHIPPED_BUILD)
        list(APPEND QF_MSI_ARGS --no-program)
    endif()
    add_test(NAME e2e.msi COMMAND ${OWN_PREFIX} python3 ${CMAKE_SOURCE_DIR}/tests/e2e/test_msi.py ${QF_MSI_ARGS})
    list(APPEND OWN_PREFIX_TESTS e2e.msi)
endif()

if(QF_SHIPPED_BUILD AND MAKENSIS)
    add_test(NAME e2e.packages
        COMMAND ${OWN_PREFIX} python3 ${CMAKE_SOURCE_DIR}/tests/e2e/test_install.py ${PACKAGE_SETUP} ${PACKAGE_ZIP}
                $<TARGET_FILE:QuilmarenFilters> $<TARGET_FILE:hold_file> ${PROJECT_VERSION})
    list(APPEND OWN_PREFIX_TESTS e2e.packages)
    # A second build of the same sources in another folder must give the same bytes.
    add_test(NAME packages.reproducible
        COMMAND sh ${CMAKE_SOURCE_DIR}/tests/check_reproducible.sh ${CMAKE_SOURCE_DIR} ${PACKAGE_DIR}
                ${QF_SOURCE_DATE_EPOCH})
    set_tests_properties(packages.reproducible PROPERTIES TIMEOUT 600)
    add_test(NAME packages.version
        COMMAND /usr/bin/python3 ${CMAKE_SOURCE_DIR}/tests/check_version.py ${PROJECT_VERSION}
                $<TARGET_FILE:QuilmarenFilters> ${PACKAGE_SETUP} ${PACKAGE_ZIP})
endif()
set_tests_properties(${WINE_TESTS} PROPERTIES LABELS wine RESOURCE_LOCK wine-desktop
                     ENVIRONMENT "PYTHONPATH=${CMAKE_SOURCE_DIR}/tools;PYTHONDONTWRITEBYTECODE=1")
set_tests_properties(${OWN_PREFIX_TESTS} PROPERTIES TIMEOUT 300 LABELS wine
                     ENVIRONMENT "PYTHONPATH=${CMAKE_SOURCE_DIR}/tools;PYTHONDONTWRITEBYTECODE=1")

# Benchmark programs (bench/run.sh): the same toolchain and flags as the product.
add_executable(bench_baseline WIN32 bench/baseline.cpp)
target_link_libraries(bench_baseline PRIVATE shell32)
target_link_options(bench_baseline PRIVATE -s)
add_executable(bench_paint bench/paint.cpp res/quilmaren.rc)
add_dependencies(bench_paint messages)
target_include_directories(bench_paint PRIVATE tests/win32)
target_link_libraries(bench_paint PRIVATE dialogs)
