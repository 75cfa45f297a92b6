// Conversions between the wide text of the Windows calls and UTF-8.
#include "utf8_text.h"

#include <windows.h>

namespace {

// Registry names, paths and record fields are ASCII nearly always; such text is copied unit
// by unit rather than through the system's two-pass conversion.
template <typename To, typename From> bool CopyAscii(const From& text, To& out) {
    for (auto unit : text) {
        if (static_cast<unsigned>(unit) >= 0x80) {
            return false;
        }
    }
    // Constructed from the range at once: assigning a range of another character type would
    // build a temporary copy first.
    out = To(text.begin(), text.end());
    return true;
}

} // namespace

std::string Utf8(std::wstring_view text) {
    std::string ascii;
    if (CopyAscii(text, ascii)) {
        return ascii;
    }
    const int units = static_cast<int>(text.size());
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), units, NULL, 0, NULL, NULL);
    std::string bytes(static_cast<size_t>(length > 0 ? length : 0), '\0');
    if (length > 0) {
        WideCharToMultiByte(CP_UTF8, 0, text.data(), units, &bytes[0], length, NULL, NULL);
    }
    return bytes;
}

std::wstring WideFromUtf8(std::string_view text) {
    std::wstring ascii;
    if (CopyAscii(text, ascii)) {
        return ascii;
    }
    const int bytes = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), bytes, NULL, 0);
    std::wstring wide(static_cast<size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0) {
        MultiByteToWideChar(CP_UTF8, 0, text.data(), bytes, &wide[0], length);
    }
    return wide;
}
