// sdbc: compiles the XML description of a shim database into a database file.
#include "version.h"
#include "xml_compile.h"
#include "xml_image.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>

namespace {

const char USAGE[] =
    "usage: sdbc [--version3] [--no-indexes] INPUT.xml OUTPUT.sdb\n"
    "       sdbc --help | --version\n"
    "Compiles INPUT.xml into the shim database OUTPUT.sdb. INPUT.xml is either a DATABASE\n"
    "description or the XML that `sdbdump --xml` writes (document element SDB), which is\n"
    "compiled back into the very bytes it was dumped from. --version3 (header 3.0) and\n"
    "--no-indexes apply to a DATABASE description only.\n";

int usage() {
    std::cerr << USAGE;
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
    bool options_given = false;
    int arg = 1;
    for (; arg < argc && std::strncmp(argv[arg], "--", 2) == 0; ++arg) {
        if (std::strcmp(argv[arg], "--help") == 0) {
            std::cout << USAGE;
            return 0;
        }
        if (std::strcmp(argv[arg], "--version") == 0) {
            std::cout << quillet::version_text("sdbc") << '\n';
            return 0;
        }
        if (std::strcmp(argv[arg], "--version3") == 0) {
            options.major = 3;
        } else if (std::strcmp(argv[arg], "--no-indexes") == 0) {
            options.indexes = false;
        } else {
            return usage();
        }
        options_given = true;
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
    pugi::xml_document document;
    std::vector<uint8_t> image;
    sdb::WriterPtr writer;
    bool file_dialect = false;
    bool ok = parse_xml(xml, &document, &error);
    if (ok) {
        file_dialect = std::strcmp(document.document_element().name(), "SDB") == 0;
        if (file_dialect && options_given) {
            error.message = "--version3 and --no-indexes do not apply to a dump: its header "
                            "and indexes are compiled as they are";
            ok = false;
        } else if (file_dialect) {
            ok = compile_file_xml(xml, document, &image, &error, &notes);
        } else {
            writer = compile_xml(xml, document, options, &error, &notes);
            ok = writer != nullptr;
        }
    }
    for (const CompileError& note : notes) {
        std::cerr << input << ':' << note.line << ": note: " << note.message << '\n';
    }
    if (!ok) {
        std::string where = error.line != 0 ? ":" + std::to_string(error.line) : "";
        return failed(output, std::string(input) + where + ": error: " + error.message);
    }
    if (file_dialect ? !sdb::write_image_file(image, output)
                     : !sdb::close_to_file(*writer, output)) {
        std::string why =
            file_dialect ? "cannot write " + std::string(output) : sdb::writer_error(*writer);
        return failed(output, std::string(output) + ": error: " + why);
    }
    return 0;
}
