# What this host can run, and with which Wine loader.
#
# QUILLET_HOST_RUNS_32BIT: whether 32-bit programs run here (the README's scripts find out
# once and pass it; a plain configure asks scripts/host-runs-32bit.sh itself).
# QUILLET_ARCH: x86 or x64, the architecture of this build.
# QUILLET_RUNS_HERE: whether the programs of this build can run here.
# QUILLET_WINE: the loader that runs this build's programs and fills its Wine prefix. Wine's
# 64-bit loader works on every host; the 32-bit one only where 32-bit programs run.
# QUILLET_TEST_PREFIX: what the names of this build's tests start with ("x64." for the
# 64-bit build), so that both builds' tests can share one CTest run.
# quillet_skip_test(NAME): registers a test that CTest reports as skipped, with the reason.

if(NOT DEFINED QUILLET_HOST_RUNS_32BIT)
    execute_process(COMMAND ${CMAKE_SOURCE_DIR}/scripts/host-runs-32bit.sh
        RESULT_VARIABLE runs_32bit OUTPUT_QUIET)
    if(runs_32bit EQUAL 0)
        set(QUILLET_HOST_RUNS_32BIT ON CACHE BOOL "This host runs 32-bit programs")
    else()
        set(QUILLET_HOST_RUNS_32BIT OFF CACHE BOOL "This host runs 32-bit programs")
    endif()
endif()

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(QUILLET_ARCH x64)
    set(QUILLET_TEST_PREFIX x64.)
    set(QUILLET_RUNS_HERE ON)
    set(QUILLET_WINE /usr/lib/wine/wine64)
elseif(QUILLET_HOST_RUNS_32BIT)
    set(QUILLET_ARCH x86)
    set(QUILLET_RUNS_HERE ON)
    set(QUILLET_WINE wine)
else()
    set(QUILLET_ARCH x86)
    set(QUILLET_RUNS_HERE OFF)
    set(QUILLET_WINE /usr/lib/wine/wine64)
endif()

if(NOT DEFINED QUILLET_TEST_PREFIX)
    set(QUILLET_TEST_PREFIX "")
endif()

set(QUILLET_SKIP_CODE 77)
function(quillet_skip_test name)
    add_test(NAME ${QUILLET_TEST_PREFIX}${name}
        COMMAND ${CMAKE_SOURCE_DIR}/testdrivers/skip-test.sh
            "needs 32-bit programs, which this host cannot run")
    set_tests_properties(${QUILLET_TEST_PREFIX}${name} PROPERTIES
        SKIP_RETURN_CODE ${QUILLET_SKIP_CODE})
endfunction()
