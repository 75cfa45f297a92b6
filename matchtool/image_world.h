// The files and registry of an offline image as the evaluator sees them, through the image's
// own views.
#pragma once

#include "native_world.h"

#include "image_files.h"
#include "registry_view.h"

#include <mutex>

// Windows paths are looked up below ROOT by quillet-image's file view: without case, links
// followed only while they stay inside ROOT. A path that leads out of ROOT, or onto another
// drive, cannot be looked at: its conditions stay unknown. One world per thread.
class ImageMatchWorld : public NativeMatchWorld {
public:
    // registry: the image's, shared by every thread's world and read under lock (its hives
    // keep what they listed); nullptr leaves registry conditions unknown. wow64: the image is
    // 64-bit, so that HKLM\SOFTWARE has a 32-bit view too.
    ImageMatchWorld(const std::string& root, const inventory::RegistryView* registry,
                    std::mutex* lock, bool wow64)
        : files_(root), registry_(registry), lock_(lock), wow64_(wow64) {}

    // A key under HKLM\SOFTWARE, and a value of it, looked up in the SOFTWARE hive. On a
    // 64-bit image both views are asked (which one a program's MATCHING_REG reads is not
    // known here): where they differ, the answer is unknown. Data is not compared: a query
    // with data is unknown, as are other roots (HKCU, HKLM\SYSTEM).
    Knowledge RegistryHolds(const RegistryQuery& query) override;

protected:
    FileState Locate(const std::u16string& path, std::string* native) const override;

private:
    Knowledge InView(inventory::Hive hive, const std::string& path, const RegistryQuery& query);

    image_inventory::ImageFiles files_;
    const inventory::RegistryView* registry_;
    std::mutex* lock_;
    bool wow64_;
};
