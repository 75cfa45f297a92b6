// The files below an image's ROOT (or below paths inside it), links never followed.
#pragma once

#include <string>
#include <vector>

struct WalkedFile {
    std::string host;    // where it lies here
    std::string windows; // its path in the image ("C:\Program Files\App\app.exe")
};

// Every regular file below each start (a Windows path "C:\..." or a path relative to ROOT;
// none: ROOT itself), each folder's names in byte order. A symbolic link is never followed:
// one that stays inside ROOT is left to its target's own place; one that leads out of ROOT,
// to nothing or into a loop is a line in *warnings, as are folders that cannot be listed and
// starts that are not in the image.
std::vector<WalkedFile> WalkImage(const std::string& root, const std::vector<std::string>& starts,
                                  std::vector<std::string>* warnings);
