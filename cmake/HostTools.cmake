# The native half of the project, configured and built as a sub-build of the Windows build,
# so that one build and one CTest run cover both. It provides sdbc, which compiles the
# sample databases of the Windows build.
include(ExternalProject)

set(QUILLET_NATIVE_DIR ${CMAKE_BINARY_DIR}/native)
set(SDBC ${QUILLET_NATIVE_DIR}/sdbtools/sdbc)
set(SDBDUMP ${QUILLET_NATIVE_DIR}/sdbtools/sdbdump)

ExternalProject_Add(native
    SOURCE_DIR ${CMAKE_SOURCE_DIR}
    BINARY_DIR ${QUILLET_NATIVE_DIR}
    CMAKE_ARGS
        -DCMAKE_BUILD_TYPE=RelWithDebInfo
        -DCMAKE_C_COMPILER=clang
        -DCMAKE_CXX_COMPILER=clang++
    BUILD_ALWAYS ON
    INSTALL_COMMAND ""
    BUILD_BYPRODUCTS ${SDBC} ${SDBDUMP}
    USES_TERMINAL_BUILD ON)

# Registers a program of the native sub-build as one CTest test of this build.
function(quillet_add_native_test name program)
    add_test(NAME ${name} COMMAND ${QUILLET_NATIVE_DIR}/${program} ${ARGN})
endfunction()
