// Positioned reads from a file or a block of memory: the only way the decoding sees a file.
#pragma once

#include "byte_reader.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// A file's bytes, read by position. Nothing inside the file is trusted to say how large it
// is: Size() is what the file system (or the block) says.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t Size() const = 0;
    // Fills out with the length bytes at offset; false, leaving out undefined, when they do not
    // all lie inside the file or cannot be read.
    virtual bool Read(std::uint64_t offset, std::size_t length, std::uint8_t* out) const = 0;
};

// A block of memory as a file: tests, fuzzing and mapped views.
class MemorySource : public ByteSource {
public:
    explicit MemorySource(ByteView bytes) : bytes_(bytes) {}
    std::uint64_t Size() const override { return bytes_.size; }
    bool Read(std::uint64_t offset, std::size_t length, std::uint8_t* out) const override;

private:
    ByteView bytes_;
};

// Another source whose first bytes are read once and served from memory: the headers of a
// small executable, its resources and its checksum window then cost one read in all.
class HeadCachedSource : public ByteSource {
public:
    static constexpr std::size_t HeadSize = 0x1000;
    explicit HeadCachedSource(const ByteSource& file);
    std::uint64_t Size() const override { return file_.Size(); }
    bool Read(std::uint64_t offset, std::size_t length, std::uint8_t* out) const override;

private:
    const ByteSource& file_;
    std::vector<std::uint8_t> head_; // empty when the head could not be read
};

// A file on disk read at offsets a chunk at a time; the platform part reads one chunk.
// Remembers whether a read inside the file failed, so that a damaged read is not taken for
// a short file.
class PositionedFileSource : public ByteSource {
public:
    explicit PositionedFileSource(std::uint64_t size) : size_(size) {}
    std::uint64_t Size() const override { return size_; }
    bool Read(std::uint64_t offset, std::size_t length, std::uint8_t* out) const override;
    bool Failed() const { return failed_; }

protected:
    // Reads up to length bytes at offset (which lies inside the file) into out; the count
    // read, 0 when the read fails.
    virtual std::size_t ReadChunk(std::uint64_t offset, std::size_t length,
                                  std::uint8_t* out) const = 0;

private:
    std::uint64_t size_;
    mutable bool failed_ = false;
};

// Little-endian fields of a source; false when the field does not lie wholly inside the file.
bool ReadU16(const ByteSource& file, std::uint64_t offset, std::uint16_t& out);
bool ReadU32(const ByteSource& file, std::uint64_t offset, std::uint32_t& out);

// Up to length bytes at offset, fewer where the file ends first; false when offset is at or
// past the end or the read fails.
bool ReadUpTo(const ByteSource& file, std::uint64_t offset, std::uint64_t length,
              std::vector<std::uint8_t>& out);
