# Compile options every target of ours carries: warnings as errors, and Shift-JIS narrow literals
# from UTF-8 sources, so tests compare exactly the bytes the program handles.
add_library(project_options INTERFACE)
target_compile_options(project_options INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion -Werror
    -finput-charset=UTF-8)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(project_options INTERFACE -fexec-charset=CP932)
else()
    # clang executes UTF-8 only. Its one build, the fuzzer, compares no Japanese text with
    # anything outside itself, so its literals may stay UTF-8.
    message(STATUS "${CMAKE_CXX_COMPILER_ID}: narrow literals stay UTF-8")
endif()
target_include_directories(project_options INTERFACE ${PROJECT_SOURCE_DIR})

if(FUZZ)
    # Everything in the fuzz build is sanitized, and instrumented for the fuzzer to steer by.
    target_compile_options(project_options INTERFACE
        -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
        -fno-omit-frame-pointer)
    target_link_options(project_options INTERFACE -fsanitize=address,undefined)
endif()

if(SANITIZE)
    target_compile_options(project_options INTERFACE
        -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    target_link_options(project_options INTERFACE -fsanitize=address,undefined)
endif()

if(WIN32)
    # Unicode entry points only; the class library converts Shift-JIS itself.
    target_compile_definitions(project_options INTERFACE
        UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
    # One self-contained PE32: no libgcc/libstdc++/winpthread DLLs beside it.
    # ASLR (with the base relocations it needs) and DEP are on.
    target_link_options(project_options INTERFACE
        -static -Wl,--dynamicbase -Wl,--nxcompat -Wl,--tsaware)
endif()
