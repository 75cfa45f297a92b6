// Splits layer strings into layer names.
#include "layer_names.h"

std::vector<std::u16string> SplitLayerNames(const std::u16string& text) {
    std::vector<std::u16string> names;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find(u' ', at);
        if (end == std::u16string::npos)
            end = text.size();
        std::size_t start = text.find_first_not_of(u"~#!", at);
        if (start != std::u16string::npos && start < end)
            names.push_back(text.substr(start, end - start));
        at = end + 1;
    }
    return names;
}
