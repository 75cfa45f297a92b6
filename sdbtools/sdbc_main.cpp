// sdbc: compiles the XML description of a shim database into a database file.
#include "xml_compile.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>

namespace {

int usage() {
    std::cerr << "usage: sdbc [--version3] [--no-indexes] INPUT.xml OUTPUT.sdb\n";
    return 2;
}

// Reports a failure and makes sure that no output file is left behind.
int failed(const char* output, const std::string& message) {
    std::cerr << message << '\n';
    std::remove(output);
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    CompileOptions options;
    int arg = 1;
    for (; arg < argc && std::strncmp(argv[arg], "--", 2) == 0; ++arg) {
        if (std::strcmp(argv[arg], "--version3") == 0) {
            options.major = 3;
        } else if (std::strcmp(argv[arg], "--no-indexes") == 0) {
            options.indexes = false;
        } else {
            return usage();
        }
    }
    if (argc - arg != 2) {
        return usage();
    }
    const char* input = argv[arg];
    const char* output = argv[arg + 1];
    std::ifstream file(input, std::ios::binary);
    if (!file) {
        return failed(output, std::string(input) + ": cannot be read");
    }
    std::string xml((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    CompileError error;
    std::vector<CompileError> notes;
    sdb::WriterPtr writer = compile_xml(xml, options, &error, &notes);
    for (const CompileError& note : notes) {
        std::cerr << input << ':' << note.line << ": note: " << note.message << '\n';
    }
    if (!writer) {
        std::string where = error.line != 0 ? ":" + std::to_string(error.line) : "";
        return failed(output, std::string(input) + where + ": error: " + error.message);
    }
    if (!sdb::close_to_file(*writer, output)) {
        return failed(output, std::string(output) + ": error: " + sdb::writer_error(*writer));
    }
    return 0;
}
