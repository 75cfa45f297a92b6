# Testing of the Windows build under Wine.
#
# Every target executable runs through testdrivers/wine-run.sh with this build's loader
# (HostKind.cmake), which points Wine at the project's own prefix (never the user's ~/.wine)
# and starts a private Xvfb when no display is set. Where the build's programs cannot run
# on this host, its Wine tests are reported as skipped. The prefix is made by the target `wineprefix`, which also installs what other
# components register with quillet_prefix_install() and quillet_prefix_registry().

set(QUILLET_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(QUILLET_WINE_RUN /usr/bin/env QUILLET_WINE=${QUILLET_WINE}
    ${CMAKE_SOURCE_DIR}/testdrivers/wine-run.sh ${QUILLET_WINEPREFIX})
set(CMAKE_CROSSCOMPILING_EMULATOR ${QUILLET_WINE_RUN})

# Everything built for Windows carries its C and C++ runtime inside, so that it needs no
# MinGW DLL next to it.
add_link_options(-static -static-libgcc -static-libstdc++)

set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
include(GoogleTest)

# A GoogleTest program for the target, run under Wine by CTest. LOCK names a resource of the
# shared prefix that its tests change (for instance the database registrations), so that CTest
# never runs two tests that hold the same lock at once.
function(quillet_add_wine_gtest target)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "LOCK" "")
    set(lock)
    if(arg_LOCK)
        set(lock RESOURCE_LOCK ${arg_LOCK})
    endif()
    target_link_libraries(${target} PRIVATE GTest::gtest_main GTest::gmock)
    add_dependencies(${target} wineprefix)
    if(NOT QUILLET_RUNS_HERE)
        quillet_skip_test(${target})
        return()
    endif()
    gtest_discover_tests(${target}
        TEST_PREFIX "${QUILLET_TEST_PREFIX}"
        DISCOVERY_MODE PRE_TEST
        DISCOVERY_TIMEOUT 120
        PROPERTIES TIMEOUT 300 ${lock})
endfunction()

# Files and registry settings that go into the prefix, registered by the components that
# build them. Paths in the prefix are relative to drive_c.
function(quillet_prefix_install source destination)
    set_property(GLOBAL APPEND PROPERTY QUILLET_PREFIX_FILES "${source}=${destination}")
endfunction()
function(quillet_prefix_registry regfile)
    set_property(GLOBAL APPEND PROPERTY QUILLET_PREFIX_REGISTRY "${regfile}")
endfunction()
function(quillet_prefix_depends)
    set_property(GLOBAL APPEND PROPERTY QUILLET_PREFIX_DEPENDS ${ARGN})
endfunction()

function(quillet_define_wineprefix_target)
    get_property(files GLOBAL PROPERTY QUILLET_PREFIX_FILES)
    get_property(regs GLOBAL PROPERTY QUILLET_PREFIX_REGISTRY)
    get_property(deps GLOBAL PROPERTY QUILLET_PREFIX_DEPENDS)
    set(args)
    set(file_deps)
    foreach(pair IN LISTS files)
        list(APPEND args --file "${pair}")
        string(REGEX REPLACE "=.*" "" source "${pair}")
        list(APPEND file_deps "${source}")
    endforeach()
    foreach(reg IN LISTS regs)
        list(APPEND args --registry "${reg}")
        list(APPEND file_deps "${reg}")
    endforeach()
    set(stamp ${CMAKE_BINARY_DIR}/wineprefix.stamp)
    add_custom_command(OUTPUT ${stamp}
        COMMAND /usr/bin/env QUILLET_WINE=${QUILLET_WINE}
                ${CMAKE_SOURCE_DIR}/scripts/setup-wineprefix.sh ${QUILLET_WINEPREFIX} ${args}
        COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
        DEPENDS ${CMAKE_SOURCE_DIR}/scripts/setup-wineprefix.sh ${file_deps} ${deps}
        COMMENT "Preparing the Wine prefix"
        VERBATIM)
    add_custom_target(wineprefix_files DEPENDS ${stamp})
    add_dependencies(wineprefix wineprefix_files)
endfunction()

add_custom_target(wineprefix ALL)
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL quillet_define_wineprefix_target)
