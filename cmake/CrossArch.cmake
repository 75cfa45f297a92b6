# The other architecture's programs (crossarch/), built as a sub-build: the 32-bit build
# gets the 64-bit stand-in engine, the 64-bit build the 32-bit one; each also gets the other
# architecture's target program and engine check.
#
# QUILLET_OWN_SYSTEM_DIR, QUILLET_OTHER_SYSTEM_DIR: where each architecture's system DLLs
# live in the 64-bit prefix. QUILLET_OTHER_IS_32BIT: whether the other programs are 32-bit.
# CROSSARCH_SMOKE, CROSSARCH_SHIMTARGET: the other architecture's programs.
# QUILLET_OTHER_TARGET_RUNS: 1 where the other architecture's target program runs (where 32-bit
# programs run, or where it is the 64-bit one), else 0.
include(ExternalProject)

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(QUILLET_OWN_SYSTEM_DIR windows/system32)
    set(QUILLET_OTHER_SYSTEM_DIR windows/syswow64)
    set(QUILLET_OTHER_IS_32BIT ON)
    set(other_toolchain ${CMAKE_SOURCE_DIR}/cmake/mingw-i686.cmake)
else()
    set(QUILLET_OWN_SYSTEM_DIR windows/syswow64)
    set(QUILLET_OTHER_SYSTEM_DIR windows/system32)
    set(QUILLET_OTHER_IS_32BIT OFF)
    set(other_toolchain ${CMAKE_SOURCE_DIR}/cmake/mingw-x86_64.cmake)
endif()
if(QUILLET_OTHER_IS_32BIT AND NOT QUILLET_HOST_RUNS_32BIT)
    set(QUILLET_OTHER_TARGET_RUNS 0)
else()
    set(QUILLET_OTHER_TARGET_RUNS 1)
endif()

set(crossarch_dir ${CMAKE_BINARY_DIR}/crossarch)
set(crossarch_apphelp ${crossarch_dir}/standin_apphelp/apphelp.dll)
set(CROSSARCH_SMOKE ${crossarch_dir}/standin_smoke.exe)
set(CROSSARCH_SHIMTARGET ${crossarch_dir}/shimtarget/shimtarget.exe)
ExternalProject_Add(crossarch
    SOURCE_DIR ${CMAKE_SOURCE_DIR}/crossarch
    BINARY_DIR ${crossarch_dir}
    CMAKE_ARGS
        -DCMAKE_TOOLCHAIN_FILE=${other_toolchain}
        -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
        -DQUILLET_SOURCE_DIR=${CMAKE_SOURCE_DIR}
    BUILD_ALWAYS ON
    INSTALL_COMMAND ""
    BUILD_BYPRODUCTS ${crossarch_apphelp} ${CROSSARCH_SMOKE} ${CROSSARCH_SHIMTARGET})
quillet_prefix_install(${crossarch_apphelp} ${QUILLET_OTHER_SYSTEM_DIR}/apphelp.dll)
quillet_prefix_depends(crossarch)
