// The first line of quillet-image's report: what was read, and the image's Windows version.
#pragma once

#include "registry_view.h"

#include <optional>
#include <string>

namespace image_inventory {

struct ImageBanner {
    std::string source; // ROOT, or the SOFTWARE hive given alone; empty when neither
    std::optional<uint32_t> major, minor, build;
};

// The version recorded under Microsoft\Windows NT\CurrentVersion of the SOFTWARE hive
// (CurrentMajorVersionNumber and CurrentMinorVersionNumber, else CurrentVersion "6.1";
// CurrentBuildNumber); absent parts stay empty.
ImageBanner read_banner(const inventory::RegistryView& registry, const std::string& source);

// "Image C:\mnt (Windows 10.0.19045)".
std::string banner_text(const ImageBanner& banner);
// The banner object of the JSON Lines.
std::string banner_json(const ImageBanner& banner);

} // namespace image_inventory
