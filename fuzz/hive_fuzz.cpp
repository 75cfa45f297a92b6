// libFuzzer target: the inventory of any bytes taken as a registry hive.
//
// Opens the bytes as a registry hive (salvaging what libhivex refuses), takes it as the
// SOFTWARE hive and as a user's, builds the inventory and writes its text and JSON,
// and checks what a reader of the report relies on: every line one line, the JSON ASCII.
#include "image_files.h"
#include "image_registry.h"
#include "inventory.h"
#include "inventory_output.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// The input as a file libhivex can open by name, without writing to any disk.
class MemoryHive {
public:
    MemoryHive(const uint8_t* data, size_t size) : fd_(memfd_create("fuzz-hive", MFD_CLOEXEC)) {
        if (fd_ < 0 || ::write(fd_, data, size) != static_cast<ssize_t>(size)) {
            std::abort();
        }
    }
    ~MemoryHive() { close(fd_); }
    std::string path() const { return "/proc/self/fd/" + std::to_string(fd_); }

private:
    int fd_;
};

// Every line ends in its line end and holds no other control character.
void check_lines(const std::string& lines, bool ascii) {
    if (!lines.empty() && lines.back() != '\n') {
        std::abort();
    }
    for (char c : lines) {
        unsigned char byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && c != '\n') || byte == 0x7F || (ascii && byte >= 0x80)) {
            std::fprintf(stderr, "bad byte 0x%02x in:\n%s\n", byte, lines.c_str());
            std::abort();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MemoryHive input(data, size);
    std::vector<std::string> warnings;
    image_inventory::ImageRegistry registry;
    registry.set_software(input.path(), image_inventory::HiveFile::open(input.path(), &warnings));
    std::unique_ptr<image_inventory::HiveFile> user =
        image_inventory::HiveFile::open(input.path(), &warnings);
    if (user) {
        registry.add_user("fuzz", input.path(), std::move(user));
    }
    image_inventory::ImageFiles files("");
    inventory::Inventory result = inventory::build_inventory(registry, files);
    check_lines(inventory::inventory_text(result, "\n"), false);
    check_lines(inventory::inventory_json(result, "\n"), true);
    return 0;
}
