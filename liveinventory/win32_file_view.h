// The inventory's file-system view over the file system of the running system.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "../inventory/file_view.h"

// Reads files and folders through the Win32 file calls with WoW64 file-system redirection off,
// so that the 32-bit build sees the same System32 as the 64-bit one. Paths of MAX_PATH or more
// are read through the \\?\ form. Only full paths on a drive are read: a network or device
// path from the registry is unreadable without being opened. Only reads.
class Win32FileView : public inventory::FileView {
public:
    // Asks for the Windows folder once.
    Win32FileView();

    std::string windows_directory() const override;
    inventory::FileStatus
    list_directory(const std::string& path,
                   std::vector<inventory::DirectoryEntry>* entries) const override;
    inventory::FileStatus read_file(const std::string& path,
                                    std::vector<uint8_t>* bytes) const override;
    inventory::FileStatus file_status(const std::string& path) const override;
    // Through VerifyFileSignature, for a path on a drive; not verified otherwise.
    sdb::SignatureVerdict verify_signature(const std::string& path) const override;
    // Created and last written, as the file system keeps them.
    inventory::FileTimes file_times(const std::string& path) const override;

    // Files larger than this are not read: no shim database comes near it, and a planted
    // giant file must not exhaust the tool's memory.
    static const LONGLONG MaximumFileBytes = 256LL * 1024 * 1024;

private:
    std::string windowsDirectory_;
};
