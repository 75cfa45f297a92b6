# The native half of the project, configured and built as a sub-build of the Windows build,
# so that one build and one CTest run cover both. It provides sdbc, which compiles the
# sample databases of the Windows build. A Windows build that is itself a sub-build is
# handed the parent's native build in QUILLET_HOST_TOOLS_DIR and registers no native tests.
include(ExternalProject)

if(DEFINED QUILLET_HOST_TOOLS_DIR)
    set(QUILLET_NATIVE_DIR ${QUILLET_HOST_TOOLS_DIR})
    set(QUILLET_NATIVE_TESTS OFF)
    add_custom_target(native)
else()
    set(QUILLET_NATIVE_DIR ${CMAKE_BINARY_DIR}/native)
    set(QUILLET_NATIVE_TESTS ON)
endif()
set(SDBC ${QUILLET_NATIVE_DIR}/sdbtools/sdbc)
set(SDBDUMP ${QUILLET_NATIVE_DIR}/sdbtools/sdbdump)

if(QUILLET_NATIVE_TESTS)
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
endif()

# Registers a program of the native sub-build as one CTest test of this build.
function(quillet_add_native_test name program)
    if(QUILLET_NATIVE_TESTS)
        add_test(NAME ${name} COMMAND ${QUILLET_NATIVE_DIR}/${program} ${ARGN})
    endif()
endfunction()
