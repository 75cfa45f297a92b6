# quillet_version: the one function that every program's --version prints through
# (version/version.h), over a header that names the project's version and the commit of the
# sources. The header is written at configure time and checked again at every build.
#   A new program adopts it with: target_link_libraries(<program> PRIVATE quillet_version)
set(QUILLET_VERSION_DIR ${CMAKE_BINARY_DIR}/quillet_version)
set(QUILLET_VERSION_HEADER ${QUILLET_VERSION_DIR}/quillet_version_info.h)
set(write_version ${CMAKE_COMMAND} -DSOURCE_DIR=${CMAKE_SOURCE_DIR}
    -DOUTPUT=${QUILLET_VERSION_HEADER} -DVERSION=${PROJECT_VERSION}
    -P ${CMAKE_SOURCE_DIR}/cmake/WriteVersionHeader.cmake)
execute_process(COMMAND ${write_version})
add_custom_target(quillet_version_header COMMAND ${write_version}
    BYPRODUCTS ${QUILLET_VERSION_HEADER} VERBATIM)

add_library(quillet_version STATIC ${CMAKE_SOURCE_DIR}/version/version.cpp)
add_dependencies(quillet_version quillet_version_header)
target_include_directories(quillet_version PUBLIC ${CMAKE_SOURCE_DIR}/version
    PRIVATE ${QUILLET_VERSION_DIR})
quillet_strict_warnings(quillet_version)
