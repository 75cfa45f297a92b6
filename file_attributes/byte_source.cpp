// The memory, file and head-cached sources and the field reads over any source.
#include "byte_source.h"

#include <algorithm>
#include <cstring>

bool MemorySource::Read(std::uint64_t offset, std::size_t length, std::uint8_t* out) const {
    if (!FitsIn(bytes_, offset, length))
        return false;
    if (length != 0)
        std::memcpy(out, bytes_.data + offset, length);
    return true;
}

bool PositionedFileSource::Read(std::uint64_t offset, std::size_t length, std::uint8_t* out) const {
    if (offset > size_ || length > size_ - offset)
        return false;
    for (std::size_t done = 0; done < length;) {
        const std::size_t got = ReadChunk(offset + done, length - done, out + done);
        if (got == 0) {
            failed_ = true;
            return false;
        }
        done += got;
    }
    return true;
}

HeadCachedSource::HeadCachedSource(const ByteSource& file) : file_(file) {
    std::uint64_t size = std::min<std::uint64_t>(file.Size(), HeadSize);
    head_.resize(static_cast<std::size_t>(size));
    if (!file.Read(0, head_.size(), head_.data()))
        head_.clear();
}

bool HeadCachedSource::Read(std::uint64_t offset, std::size_t length, std::uint8_t* out) const {
    ByteView head{head_.data(), head_.size()};
    if (!FitsIn(head, offset, length))
        return file_.Read(offset, length, out);
    if (length != 0)
        std::memcpy(out, head_.data() + offset, length);
    return true;
}

bool ReadU16(const ByteSource& file, std::uint64_t offset, std::uint16_t& out) {
    std::uint8_t p[2];
    if (!file.Read(offset, sizeof p, p))
        return false;
    out = static_cast<std::uint16_t>(p[0] | (p[1] << 8));
    return true;
}

bool ReadU32(const ByteSource& file, std::uint64_t offset, std::uint32_t& out) {
    std::uint8_t p[4];
    if (!file.Read(offset, sizeof p, p))
        return false;
    return ReadU32(ByteView{p, sizeof p}, 0, out);
}

bool ReadUpTo(const ByteSource& file, std::uint64_t offset, std::uint64_t length,
              std::vector<std::uint8_t>& out) {
    std::uint64_t size = file.Size();
    if (offset >= size)
        return false;
    out.resize(static_cast<std::size_t>(std::min(length, size - offset)));
    return file.Read(offset, out.size(), out.data());
}
