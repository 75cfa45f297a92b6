# What `cmake --install` puts where, and the packages that CPack makes of it
# (scripts/package.sh builds them all). Included last, once every program's target exists.
#
# Windows build: the programs into bin/ (their .debug files, component Debug, into bin/ too),
# the README at the top, the JSON schema and the collector's artifact into share/quillet/.
# The 32-bit build's packages hold the 64-bit sub-build's programs beside its own: a ZIP of
# the programs and one of the debug files. The artifact's tools are pinned to the hashes of
# the very programs installed beside it.
#
# Native build: the host tools into bin/, their documentation into share/doc/quillet-tools/,
# the JSON schema into share/quillet/; a Debian package of them, its dependencies found from
# the programs' own library needs (dpkg-shlibdeps).
# Installing and packaging build nothing: scripts/package.sh builds what the packages hold,
# and the packaging test runs beside the other tests without building the whole tree again.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(CPACK_PACKAGE_NAME quillet)
set(CPACK_PACKAGE_VENDOR Quillet)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Quillet developers <quillet@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Shows which application-compatibility fixes of Windows apply to a program")
set(quillet_schemas ${CMAKE_SOURCE_DIR}/docs/cli-json.md)
set(quillet_artifact
    ${CMAKE_SOURCE_DIR}/contrib/velociraptor/Custom.Windows.Quillet.ShimInventory.yaml)

if(WIN32)
    install(TARGETS Quillet quillet-cli RUNTIME DESTINATION bin COMPONENT Runtime)
    install(FILES $<TARGET_FILE:Quillet>.debug $<TARGET_FILE:quillet-cli>.debug
        DESTINATION bin COMPONENT Debug)
    # A sub-build's programs are installed by the build that packages them; the rest once.
    if(DEFINED QUILLET_HOST_TOOLS_DIR)
        return()
    endif()
    install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION . COMPONENT Runtime)
    install(FILES ${quillet_schemas} ${quillet_artifact}
        DESTINATION share/quillet COMPONENT Runtime)
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        set(tools "QuilletCli=$<TARGET_FILE:quillet-cli>"
            "QuilletCli64=${QUILLET64_DIR}/cli/quillet-cli64.exe")
    else()
        set(tools "QuilletCli64=$<TARGET_FILE:quillet-cli>")
    endif()
    get_filename_component(artifact_name ${quillet_artifact} NAME)
    install(CODE "execute_process(COMMAND \"${CMAKE_COMMAND}\" -DVERSION=${PROJECT_VERSION}
        \"-DARTIFACT=\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/share/quillet/${artifact_name}\"
        \"-DTOOLS=${tools}\" -P \"${CMAKE_SOURCE_DIR}/cmake/PinArtifactTools.cmake\"
        COMMAND_ERROR_IS_FATAL ANY)" COMPONENT Runtime)

    set(CPACK_GENERATOR ZIP)
    set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
    # Both zips unpack into one folder, so that the debug files land beside their programs.
    set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
    set(CPACK_PACKAGE_FILE_NAME quillet-${PROJECT_VERSION}-windows)
    set(CPACK_COMPONENTS_ALL Runtime Debug)
    set(CPACK_ARCHIVE_RUNTIME_FILE_NAME quillet-${PROJECT_VERSION}-windows)
    set(CPACK_ARCHIVE_DEBUG_FILE_NAME quillet-${PROJECT_VERSION}-windows-debug)
    set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};Quillet;ALL;/")
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        list(APPEND CPACK_INSTALL_CMAKE_PROJECTS "${QUILLET64_DIR};Quillet;ALL;/")
    endif()
else()
    set(native_tools sdbc sdbdump quillet-image)
    # Joins the package as soon as its target exists.
    if(TARGET quillet-match)
        list(APPEND native_tools quillet-match)
    endif()
    install(TARGETS ${native_tools} RUNTIME DESTINATION bin)
    install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION share/doc/quillet-tools)
    install(FILES ${CMAKE_SOURCE_DIR}/sdb/README.md DESTINATION share/doc/quillet-tools
        RENAME README.sdb.md)
    install(FILES ${quillet_schemas} DESTINATION share/quillet)

    set(CPACK_GENERATOR DEB)
    set(CPACK_STRIP_FILES ON)
    set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
    set(CPACK_DEBIAN_PACKAGE_NAME quillet-tools)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_SECTION utils)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
        "Quillet's tools for shim databases and offline Windows images
 sdbc compiles the XML description of a shim database, sdbdump prints and audits one, and
 quillet-image lists the shim databases, registrations and stored layers of an offline
 Windows image.")
endif()
include(CPack)
