# Configures the product-only build (as the Visual Studio preset does) with the JSON library's
# directory hidden from every search, and checks that Quillet.exe is still built and the
# console program skipped with a message.
# Takes SOURCE_DIR, BINARY_DIR, TOOLCHAIN and HIDDEN (the directory holding nlohmann/).
file(REMOVE_RECURSE ${BINARY_DIR})
execute_process(
    COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${BINARY_DIR} -G "Unix Makefiles"
        -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN} -DQUILLET_PRODUCT_ONLY=ON
        -DCMAKE_IGNORE_PATH=${HIDDEN}
    RESULT_VARIABLE configured
    OUTPUT_VARIABLE output
    ERROR_VARIABLE errors)
if(NOT configured EQUAL 0)
    message(FATAL_ERROR "the product-only build does not configure without the JSON library:\n"
                        "${output}${errors}")
endif()
if(NOT output MATCHES "quillet-cli skipped: nlohmann/json.hpp not found")
    message(FATAL_ERROR "no message says that quillet-cli is skipped:\n${output}")
endif()
execute_process(
    COMMAND ${CMAKE_COMMAND} --build ${BINARY_DIR} --target help
    OUTPUT_VARIABLE targets)
if(NOT targets MATCHES "\\.\\.\\. Quillet\n")
    message(FATAL_ERROR "the product-only build has no Quillet target:\n${targets}")
endif()
if(targets MATCHES "quillet-cli|quillet_json")
    message(FATAL_ERROR "the product-only build still has the console program:\n${targets}")
endif()
file(REMOVE_RECURSE ${BINARY_DIR})
