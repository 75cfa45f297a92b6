# Pins the tools of the collector's artifact to the programs installed beside it: each tool
# gets the release's version and the SHA-256 of its program as expected_hash, so that the
# server refuses any other file under that name.
#   cmake -DARTIFACT=FILE.yaml -DVERSION=X.Y.Z -DTOOLS="NAME=PROGRAM;..." -P PinArtifactTools.cmake
file(READ "${ARTIFACT}" text)
foreach(tool IN LISTS TOOLS)
    string(REGEX REPLACE "=.*" "" name "${tool}")
    string(REGEX REPLACE "^[^=]*=" "" program "${tool}")
    if(NOT EXISTS "${program}")
        message(FATAL_ERROR "${program}: missing, so the artifact's tool ${name} cannot be pinned")
    endif()
    file(SHA256 "${program}" hash)
    set(entry "  - name: ${name}\n")
    string(FIND "${text}" "${entry}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "${ARTIFACT}: no tool ${name}")
    endif()
    # A version or hash already there (an earlier install) is replaced.
    string(REGEX REPLACE "(  - name: ${name}\n)(    (version|expected_hash): [^\n]*\n)*"
        "\\1    version: \"${VERSION}\"\n    expected_hash: ${hash}\n" text "${text}")
endforeach()
file(WRITE "${ARTIFACT}" "${text}")
