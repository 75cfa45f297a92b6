# Cross-build for Windows with MinGW-w64, for the processor that the including toolchain
# file names in QUILLET_MINGW_PROCESSOR (i686 or x86_64). The posix thread model gives the
# standard library std::mutex, which GoogleTest needs; -static keeps winpthread inside.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${QUILLET_MINGW_PROCESSOR})
set(CMAKE_C_COMPILER ${QUILLET_MINGW_PROCESSOR}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUILLET_MINGW_PROCESSOR}-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER ${QUILLET_MINGW_PROCESSOR}-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${QUILLET_MINGW_PROCESSOR}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
