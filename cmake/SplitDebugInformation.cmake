# quillet_split_debug_information(TARGET): the program that a user copies carries no debug
# information: objcopy moves it into <program>.debug beside it, which the program names through
# a debug link, as debuggers look for it. The release ships the .debug files apart.
function(quillet_split_debug_information target)
    if(NOT CMAKE_OBJCOPY OR MSVC)
        return()
    endif()
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE_NAME:${target}>
            $<TARGET_FILE_NAME:${target}>.debug
        COMMAND ${CMAKE_OBJCOPY} --strip-all --add-gnu-debuglink=$<TARGET_FILE_NAME:${target}>.debug
            $<TARGET_FILE_NAME:${target}>
        WORKING_DIRECTORY $<TARGET_FILE_DIR:${target}>
        VERBATIM)
endfunction()
