# Host tests: the platform-neutral core against the test-only Win32 stand-in.
# GoogleTest first, so that it builds plain: instrumenting it finds nothing of ours and
# triples the build.
add_subdirectory(${GOOGLETEST_SOURCE} googletest EXCLUDE_FROM_ALL SYSTEM)
include(GoogleTest)

if(QF_SANITIZE)
    # -O1, as the sanitizers advise: the minute-by-minute simulations run twice as fast.
    add_compile_options(-O1 -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()
add_compile_options(-Wall -Wextra)

add_library(fakewin STATIC tests/host/fakewin/fakewin.cpp)
target_include_directories(fakewin PUBLIC tests/host/fakewin src/reminder)

add_library(reminder_host STATIC ${REMINDER_SOURCES})
target_link_libraries(reminder_host PUBLIC fakewin)

add_executable(host_tests
    tests/host/test_daynumber.cpp
    tests/host/test_settings.cpp
    tests/host/test_check.cpp
    tests/host/test_forecast.cpp
    tests/host/test_life.cpp)
target_link_libraries(host_tests PRIVATE reminder_host GTest::gtest_main)
gtest_discover_tests(host_tests TEST_PREFIX "host." DISCOVERY_TIMEOUT 30)

add_test(NAME host.assets_match_generator COMMAND sh ${CMAKE_SOURCE_DIR}/tests/check_assets.sh)
add_test(NAME host.setup_offline_and_mirror_mid_sync COMMAND bash ${CMAKE_SOURCE_DIR}/tests/check_setup.sh)
add_test(NAME host.template_matches_program
    COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/check_template.py ${CMAKE_SOURCE_DIR})
