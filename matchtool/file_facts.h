// A file on disk read into the attributes and header facts the evaluator compares.
#pragma once

#include "file_attributes.h"
#include "program_image.h"

#include <string>

// Reads the whole file at a native path and fills SIZE, CHECKSUM and what the executable
// headers give, and the PE machine or NE module name. False when it cannot be read.
bool ReadFileFacts(const std::string& path, FileAttributes& attributes, ProgramImage& image);
