// quillet-match --image: every program of an offline image against what the image applies.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

struct ImageScanOptions {
    std::string root;
    std::vector<std::string> paths; // inside ROOT; none: all of it
    bool json = false;
    bool explain = false;
    bool thirdParty = false;     // only third-party and impersonating databases, and stored layers
    unsigned jobs = 0;           // threads reading and matching; 0: one per core
    bool progress = false;       // a progress line on err
    std::uint64_t sizeLimit = 0; // programs larger than this are not read; 0: the default
};

// Walks, reads and matches; writes one report per program (and per user whose stored layers
// add to it) that has anything to show, then a summary, on out; warnings on err and, with
// JSON, on out too. Returns 0, or 1 when anything was warned of.
int RunImageScan(const ImageScanOptions& options, std::ostream& out, std::ostream& err);
