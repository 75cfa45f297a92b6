// Positioned reads of a file through pread, and the attributes of a file named by path.
#include "path_attributes.h"

#include "attribute_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace {

// A file read with pread; remembers whether a read inside the file failed, so that the
// caller tells a damaged read from a short file.
class DescriptorSource : public ByteSource {
public:
    DescriptorSource(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
    std::uint64_t Size() const override { return size_; }
    bool Read(std::uint64_t offset, std::size_t length, std::uint8_t* out) const override {
        if (offset > size_ || length > size_ - offset)
            return false;
        std::size_t done = 0;
        while (done < length) {
            ssize_t got = pread(fd_, out + done, length - done, static_cast<off_t>(offset + done));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0) {
                failed_ = true;
                return false;
            }
            done += static_cast<std::size_t>(got);
        }
        return true;
    }
    bool Failed() const { return failed_; }

private:
    int fd_;
    std::uint64_t size_;
    mutable bool failed_ = false;
};

struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0)
            close(fd);
    }
};

} // namespace

bool ReadFileAttributesAtPath(const std::string& path, FileAttributes& attributes) {
    // O_NONBLOCK: opening a FIFO must not wait for a writer.
    const Descriptor file{open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
    struct stat status;
    if (file.fd < 0 || fstat(file.fd, &status) != 0 || !S_ISREG(status.st_mode))
        return false;
    DescriptorSource source(file.fd, static_cast<std::uint64_t>(status.st_size));
    HeadCachedSource cached(source);
    FileAttributes read;
    ReadFileAttributes(cached, read);
    if (source.Failed())
        return false;
    attributes = std::move(read);
    return true;
}
