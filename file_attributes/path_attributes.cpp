// Positioned reads of a file through pread, and the attributes of a file named by path.
#include "path_attributes.h"

#include "attribute_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

// A file read with pread.
class DescriptorSource : public PositionedFileSource {
public:
    DescriptorSource(int fd, std::uint64_t size) : PositionedFileSource(size), fd_(fd) {}

protected:
    std::size_t ReadChunk(std::uint64_t offset, std::size_t length,
                          std::uint8_t* out) const override {
        for (;;) {
            ssize_t got = pread(fd_, out, length, static_cast<off_t>(offset));
            if (got < 0 && errno == EINTR)
                continue;
            return got < 0 ? 0 : static_cast<std::size_t>(got);
        }
    }

private:
    int fd_;
};

} // namespace

DescriptorHolder::~DescriptorHolder() {
    if (fd >= 0)
        close(fd);
}

bool ReadFileAttributesOfDescriptor(int fd, FileAttributes& attributes) {
    struct stat status;
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))
        return false;
    const DescriptorSource source(fd, static_cast<std::uint64_t>(status.st_size));
    return ReadFileAttributesOf(source, attributes);
}

bool ReadFileAttributesAtPath(const std::string& path, FileAttributes& attributes) {
    // O_NONBLOCK: opening a FIFO must not wait for a writer.
    const DescriptorHolder file(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    return file.fd >= 0 && ReadFileAttributesOfDescriptor(file.fd, attributes);
}
