// quillet-image: the inventory of an offline Windows image, as text or JSON Lines.
//
// Shim databases, registrations and stored layers; it only reads.
#include "command_line.h"
#include "image_reading.h"
#include "inventory_output.h"
#include "version.h"

#include <sys/stat.h>

#include <cstdio>
#include <ctime>
#include <iostream>

namespace {

const int EXIT_LISTED = 0;
const int EXIT_UNREADABLE = 1;
const int EXIT_USAGE = 2;
const int EXIT_ALARM = 3;
const int EXIT_ALARM_INCOMPLETE = 4; // both 3 and 1: neither fact hides the other

bool is_folder(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Now, as a FILETIME.
uint64_t filetime_now() {
    const uint64_t UNIX_EPOCH = 116444736000000000ull; // 1970-01-01 in 100 ns since 1601
    return UNIX_EPOCH + static_cast<uint64_t>(std::time(nullptr)) * 10000000ull;
}

} // namespace

int main(int argc, char** argv) {
    using namespace image_inventory;
    CommandLine line;
    std::string error;
    if (!parse_command_line(argc, argv, &line, &error)) {
        std::cerr << "quillet-image: " << error << "\n" << usage_text();
        return EXIT_USAGE;
    }
    if (line.help) {
        std::cout << usage_text();
        return EXIT_LISTED;
    }
    if (line.version) {
        std::cout << quillet::version_text("quillet-image") << "\n";
        return EXIT_LISTED;
    }
    if (!line.root.empty() && !is_folder(line.root)) {
        std::cerr << "quillet-image: " << line.root << ": not a folder\n";
        return EXIT_UNREADABLE;
    }
    std::unique_ptr<ImageReading> image = read_image(line);
    inventory::Inventory& inventory = image->inventory;
    inventory.collected = filetime_now();
    // Every warning, the hives' first, goes to standard error, into the JSON records and into
    // the summary's count.
    for (const std::string& warning : inventory.warnings) {
        std::cerr << "quillet-image: " << warning << "\n";
    }
    inventory::OutputOptions options;
    options.min_severity = line.min_severity;
    const ImageBanner& banner = image->banner;
    std::string out = (line.json ? banner_json(banner) : banner_text(banner)) + "\n";
    out += line.json ? inventory::inventory_json(inventory, "\n", options)
                     : inventory::inventory_text(inventory, "\n", options);
    std::fwrite(out.data(), 1, out.size(), stdout);
    bool complete = image->all_read && inventory.warnings.empty() && std::fflush(stdout) == 0;
    if (inventory::inventory_alarms(inventory)) {
        return complete ? EXIT_ALARM : EXIT_ALARM_INCOMPLETE;
    }
    return complete ? EXIT_LISTED : EXIT_UNREADABLE;
}
