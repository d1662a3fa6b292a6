# Cross toolchain: 32-bit Windows (i686) with mingw-w64, POSIX threads model (std::thread, std::mutex).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(MINGW_PREFIX i686-w64-mingw32)
find_program(MINGW_CXX ${MINGW_PREFIX}-g++-posix)
find_program(MINGW_CC ${MINGW_PREFIX}-gcc-posix)
find_program(MINGW_RC ${MINGW_PREFIX}-windres)
if(NOT MINGW_CXX OR NOT MINGW_CC OR NOT MINGW_RC)
    message(FATAL_ERROR "mingw-w64 i686 compilers not found: install g++-mingw-w64-i686")
endif()
set(CMAKE_C_COMPILER ${MINGW_CC})
set(CMAKE_CXX_COMPILER ${MINGW_CXX})
set(CMAKE_RC_COMPILER ${MINGW_RC})

# Tests run under Wine through a wrapper the build writes beside its private Wine prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)

# Look for headers and libraries only in the cross sysroot; programs (the host packer) on the host.
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
