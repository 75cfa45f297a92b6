// Base64 (the standard alphabet, with padding) for binary values in XML and JSON dumps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

std::string base64_encode(const uint8_t* data, size_t size);
// Decodes text with padding; blanks (space, tab, line breaks) are skipped. False on any
// other character or a wrong length.
bool base64_decode(const std::string& text, std::vector<uint8_t>* out);
