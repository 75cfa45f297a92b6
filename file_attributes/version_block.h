// The well-formedness check of a version resource block.
#pragma once

#include "byte_reader.h"

// True when a version resource block is a well-formed tree: every node's length lies inside
// its parent, its key ends inside the node and its value fits after the key. Only a sound
// block is handed to the platform's version queries, which trust these lengths.
bool VersionBlockIsSound(ByteView block);
