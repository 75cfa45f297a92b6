# The 64-bit build as a sub-build of the 32-bit one (build/windows/x64), so that one build
# and one CTest run cover both products. It shares this build's native tools and host kind;
# its tests, named "x64.*", join this build's CTest run. The preset windows64 builds the
# same 64-bit build on its own.
include(ExternalProject)

set(QUILLET64_DIR ${CMAKE_BINARY_DIR}/x64)
ExternalProject_Add(quillet64
    SOURCE_DIR ${CMAKE_SOURCE_DIR}
    BINARY_DIR ${QUILLET64_DIR}
    CMAKE_ARGS
        -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-x86_64.cmake
        -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
        -DQUILLET_HOST_RUNS_32BIT=${QUILLET_HOST_RUNS_32BIT}
        -DQUILLET_HOST_TOOLS_DIR=${QUILLET_NATIVE_DIR}
    BUILD_ALWAYS ON
    INSTALL_COMMAND ""
    # quillet64-configure: scripts/package.sh configures it and builds only its programs.
    STEP_TARGETS configure
    DEPENDS native)

set(tests_file ${CMAKE_BINARY_DIR}/quillet64_tests.cmake)
file(WRITE ${tests_file} "subdirs(\"${QUILLET64_DIR}\")\n")
set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY TEST_INCLUDE_FILES ${tests_file})
