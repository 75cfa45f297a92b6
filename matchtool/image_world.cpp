// Looks files of an offline image up for the evaluator.
#include "image_world.h"

#include "sdb_text.h"

FileState ImageMatchWorld::Locate(const std::u16string& path, std::string* native) const {
    switch (files_.resolve(sdb::to_utf8(path), native)) {
    case inventory::FileStatus::Ok:
        return FileState::Present;
    case inventory::FileStatus::Missing:
        return FileState::Missing;
    default:
        break;
    }
    return FileState::Unreadable;
}
