# libFuzzer target over stored values, dates and times, with ASan and UBSan.
set(FUZZ_FLAGS -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -g)
add_executable(fuzz_reminder
    tests/fuzz/fuzz_reminder.cpp
    tests/host/fakewin/fakewin.cpp
    ${REMINDER_SOURCES})
target_include_directories(fuzz_reminder PRIVATE tests/host/fakewin src/reminder)
target_compile_options(fuzz_reminder PRIVATE ${FUZZ_FLAGS})
target_link_options(fuzz_reminder PRIVATE ${FUZZ_FLAGS})

file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/corpus)
# An input that takes over a second is a stall on the UI thread: a failure. The inputs that
# once stalled or crashed are read along with the corpus every run.
add_test(NAME fuzz.reminder
    COMMAND fuzz_reminder -max_total_time=${QF_FUZZ_SECONDS} -timeout=1 -print_final_stats=1 ${CMAKE_BINARY_DIR}/corpus
            ${CMAKE_SOURCE_DIR}/tests/fuzz/regressions)
set_tests_properties(fuzz.reminder PROPERTIES TIMEOUT 300)
