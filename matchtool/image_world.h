// The files of an offline image as the evaluator sees them: through the image's own file view.
#pragma once

#include "native_world.h"

#include "image_files.h"

// Windows paths are looked up below ROOT by quillet-image's file view: without case, links
// followed only while they stay inside ROOT. A path that leads out of ROOT, or onto another
// drive, cannot be looked at: its conditions stay unknown. One world per thread.
class ImageMatchWorld : public NativeMatchWorld {
public:
    explicit ImageMatchWorld(const std::string& root) : files_(root) {}

protected:
    FileState Locate(const std::u16string& path, std::string* native) const override;

private:
    image_inventory::ImageFiles files_;
};
