# libFuzzer target over stored values, dates and times, with ASan and UBSan.
set(FUZZ_FLAGS -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -g)
add_executable(fuzz_reminder
    tests/fuzz/fuzz_reminder.cpp
    tests/host/fakewin/fakewin.cpp
    ${REMINDER_SOURCES})
target_include_directories(fuzz_reminder PRIVATE tests/host/fakewin src/reminder)
target_compile_options(fuzz_reminder PRIVATE ${FUZZ_FLAGS})
target_link_options(fuzz_reminder PRIVATE ${FUZZ_FLAGS})

# An input that takes over a second is a stall on the UI thread: a failure. The test run
# lives the same lives every time, and so passes or fails alike on any machine: the inputs that
# once stalled or crashed, and QF_FUZZ_RUNS inputs of random bytes from a fixed seed (libFuzzer's
# own search is not repeatable: bench/fuzz.sh runs it).
add_test(NAME fuzz.reminder
    COMMAND sh -c "corpus=$(mktemp -d) && python3 -c 'import random, sys; r = random.Random(1); [open(\"%s/%05d\" % (sys.argv[1], i), \"wb\").write(bytes(r.randrange(256) for _ in range(r.randrange(1, 160)))) for i in range(${QF_FUZZ_RUNS})]' \"$corpus\" && \
                   $<TARGET_FILE:fuzz_reminder> -runs=0 -timeout=1 -print_final_stats=1 \"$corpus\" ${CMAKE_SOURCE_DIR}/tests/fuzz/regressions; s=$?; rm -rf \"$corpus\"; exit $s")
set_tests_properties(fuzz.reminder PROPERTIES TIMEOUT 300)
