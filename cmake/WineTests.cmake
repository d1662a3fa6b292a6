# Wine as the emulator of the cross build: a wrapper beside a private prefix in this build
# folder, and add_wine_test() for a GoogleTest executable discovered and run through it.
set(WINE_ROOT ${CMAKE_BINARY_DIR}/wine)
configure_file(${PROJECT_SOURCE_DIR}/cmake/wine-run.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
    FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                     WORLD_READ WORLD_EXECUTE)

include(GoogleTest)

# add_wine_test(<target> <prefix> [LOCK <name>]): registers every test of a GoogleTest
# executable, listed when ctest runs (Wine starts slowly, hence the generous timeout). Each test
# is a process of its own and ctest runs several at once: tests that share state no folder can
# isolate (the user's registry hive, the program's named mutex, the screen) name it as their
# LOCK: "session" for all of these, so that no window of one test covers pixels another reads.
function(add_wine_test target prefix)
    cmake_parse_arguments(PARSE_ARGV 2 arg "" "LOCK" "")
    set(properties TIMEOUT 300)
    if(arg_LOCK)
        list(APPEND properties RESOURCE_LOCK ${arg_LOCK})
    endif()
    gtest_discover_tests(${target}
        TEST_PREFIX "${prefix}."
        DISCOVERY_MODE PRE_TEST
        DISCOVERY_TIMEOUT 120
        PROPERTIES ${properties})
endfunction()
