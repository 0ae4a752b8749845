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
add_test(NAME fuzz.reminder
    COMMAND fuzz_reminder -max_total_time=${QF_FUZZ_SECONDS} -print_final_stats=1 ${CMAKE_BINARY_DIR}/corpus)
set_tests_properties(fuzz.reminder PROPERTIES TIMEOUT 300)
