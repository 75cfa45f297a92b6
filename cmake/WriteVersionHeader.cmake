# Writes the version header of a build: the project's version and, when the sources are a git
# checkout of their own, the commit they were built from ("-modified" when tracked files differ
# from it). Run at configure time and again at every build, so that a new commit needs no new
# configure; the header is rewritten only when its text changes, so that nothing is rebuilt
# for nothing.
#   cmake -DSOURCE_DIR=... -DOUTPUT=... -DVERSION=... -P WriteVersionHeader.cmake
set(commit "")
find_program(git_program git)
if(git_program)
    execute_process(COMMAND ${git_program} -C ${SOURCE_DIR} rev-parse --show-toplevel
        RESULT_VARIABLE top_result OUTPUT_VARIABLE top OUTPUT_STRIP_TRAILING_WHITESPACE
        ERROR_QUIET)
    # Sources unpacked inside some other checkout are not a checkout of their own.
    if(top_result EQUAL 0)
        file(REAL_PATH "${top}" top)
        file(REAL_PATH "${SOURCE_DIR}" source)
    endif()
    if(top_result EQUAL 0 AND top STREQUAL source)
        execute_process(COMMAND ${git_program} -C ${SOURCE_DIR} rev-parse --short=12 HEAD
            RESULT_VARIABLE head_result OUTPUT_VARIABLE head OUTPUT_STRIP_TRAILING_WHITESPACE
            ERROR_QUIET)
        if(head_result EQUAL 0)
            set(commit "${head}")
            execute_process(
                COMMAND ${git_program} -C ${SOURCE_DIR} status --porcelain --untracked-files=no
                OUTPUT_VARIABLE changes ERROR_QUIET)
            if(NOT changes STREQUAL "")
                string(APPEND commit "-modified")
            endif()
        endif()
    endif()
endif()

set(text "// The version of this build, written by cmake/WriteVersionHeader.cmake.
#pragma once

#define QUILLET_VERSION \"${VERSION}\"
// Empty when the sources were not a git checkout.
#define QUILLET_COMMIT \"${commit}\"
")
set(old "")
if(EXISTS "${OUTPUT}")
    file(READ "${OUTPUT}" old)
endif()
if(NOT old STREQUAL text)
    file(WRITE "${OUTPUT}" "${text}")
endif()
