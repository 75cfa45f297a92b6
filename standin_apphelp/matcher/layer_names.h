// The layer names of a stored or environment layer string.
#pragma once

#include <string>
#include <vector>

// The layer names of a stored layer string or of the environment's layer variable: names
// are separated by spaces; the flag characters '~', '#' and '!' that lead a word are not
// part of a name, and words made of them alone name nothing.
std::vector<std::u16string> SplitLayerNames(const std::u16string& text);
