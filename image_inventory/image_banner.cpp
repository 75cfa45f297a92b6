// The first line of quillet-image's report: what was read, and the image's Windows version.
#include "image_banner.h"

#include "json_line.h"
#include "registry_values.h"

#include <cstdlib>

namespace image_inventory {

namespace {

const char* const CURRENT_VERSION = "Microsoft\\Windows NT\\CurrentVersion";
const unsigned SCHEMA = 1;

std::optional<uint32_t> parse_number(const std::string& text) {
    if (text.empty() || text.size() > 9 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    return static_cast<uint32_t>(std::strtoul(text.c_str(), nullptr, 10));
}

std::optional<std::string> string_value(const inventory::RegistryValue* value) {
    std::string text;
    std::string problem;
    if (value == nullptr || !inventory::value_string(*value, &text, &problem)) {
        return std::nullopt;
    }
    return text;
}

std::optional<uint32_t> dword(const inventory::RegistryValue* value) {
    uint32_t number = 0;
    std::string problem;
    if (value == nullptr || !inventory::value_dword(*value, &number, &problem)) {
        return std::nullopt;
    }
    return number;
}

void number_or_null(inventory::JsonWriter& json, const char* name,
                    const std::optional<uint32_t>& number) {
    number ? json.number(name, *number) : json.null(name);
}

} // namespace

ImageBanner read_banner(const inventory::RegistryView& registry, const std::string& source) {
    ImageBanner banner;
    banner.source = source;
    inventory::KeyPath key;
    key.path = CURRENT_VERSION;
    std::vector<inventory::RegistryValue> values;
    registry.values(key, &values);
    banner.major = dword(inventory::find_value(values, "CurrentMajorVersionNumber"));
    banner.minor = dword(inventory::find_value(values, "CurrentMinorVersionNumber"));
    std::optional<std::string> version =
        string_value(inventory::find_value(values, "CurrentVersion"));
    size_t dot = version ? version->find('.') : std::string::npos;
    if (!banner.major && dot != std::string::npos) {
        banner.major = parse_number(version->substr(0, dot));
        banner.minor = parse_number(version->substr(dot + 1));
    }
    std::optional<std::string> build =
        string_value(inventory::find_value(values, "CurrentBuildNumber"));
    banner.build = build ? parse_number(*build) : std::nullopt;
    return banner;
}

std::string banner_text(const ImageBanner& banner) {
    std::string text =
        "Image " + (banner.source.empty() ? std::string("(user hives only)") : banner.source);
    if (banner.major && banner.minor && banner.build) {
        text += " (Windows " + std::to_string(*banner.major) + "." + std::to_string(*banner.minor) +
                "." + std::to_string(*banner.build) + ")";
    }
    return text;
}

std::string banner_json(const ImageBanner& banner) {
    std::string line;
    inventory::JsonWriter json(&line);
    json.open_object()
        .string("type", "banner")
        .number("schema", SCHEMA)
        .string("program", "quillet-image");
    number_or_null(json, "major", banner.major);
    number_or_null(json, "minor", banner.minor);
    number_or_null(json, "build", banner.build);
    json.null("wow64");
    banner.source.empty() ? json.null("image") : json.string("image", banner.source);
    json.string("text", banner_text(banner)).close_object();
    return line;
}

} // namespace image_inventory
