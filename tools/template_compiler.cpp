// template_compiler <description> <output.cpp> <units.h> [<output.bin>]
//
// Compiles the readable window-template description into a C++ source holding the stored
// template bytes and the routine names its handler numbers index, a header naming the
// windows' units for the program's code (and, when asked, the raw bytes). A description error prints "<file>:<line>: <what>" and exits with status 1, so a
// typo fails the build. Outputs are replaced whole (written beside, then renamed), and left
// untouched when their content would not change, so the build does not redo work.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "runtime/template_format.h"
#include "tools/template_description.h"

namespace {

bool read_file(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool write_file_if_changed(const std::string& path, const std::string& content) {
    std::string old;
    if (read_file(path, old) && old == content) {
        return true;
    }
    std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
        out.close();
        if (!out) {
            std::filesystem::remove(temporary);
            return false;
        }
    }
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    return !error;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4 && argc != 5) {
        std::fprintf(stderr, "usage: template_compiler <description> <output.cpp> <units.h> "
                             "[<output.bin>]\n");
        return 2;
    }
    std::string source;
    if (!read_file(argv[1], source)) {
        std::fprintf(stderr, "%s: cannot read the description\n", argv[1]);
        return 1;
    }
    auto compiled = wavlon::tools::compile_description(source, argv[1]);
    if (auto* message = std::get_if<std::string>(&compiled)) {
        std::fprintf(stderr, "%s\n", message->c_str());
        return 1;
    }
    const auto& result = std::get<wavlon::tools::CompiledTemplate>(compiled);
    auto bytes = wavlon::runtime::encode_template(result.window_template);

    // The bytes must read back as what was described; anything else is a fault of ours.
    auto decoded = wavlon::runtime::decode_template(bytes);
    if (auto* error = std::get_if<wavlon::runtime::TemplateError>(&decoded)) {
        std::fprintf(stderr,
                     "%s: internal error: the encoded template does not decode at %zu: %s\n",
                     argv[1], error->offset, error->what.c_str());
        return 2;
    }
    if (std::get<wavlon::runtime::WindowTemplate>(decoded) != result.window_template) {
        std::fprintf(stderr, "%s: internal error: the encoded template reads back differently\n",
                     argv[1]);
        return 2;
    }

    std::string name = std::filesystem::path(argv[1]).filename().string();
    if (!write_file_if_changed(argv[2],
                               wavlon::tools::generate_source(bytes, result.routines, name))) {
        std::fprintf(stderr, "%s: cannot write\n", argv[2]);
        return 1;
    }
    if (!write_file_if_changed(argv[3],
                               wavlon::tools::generate_units_header(result.names, name))) {
        std::fprintf(stderr, "%s: cannot write\n", argv[3]);
        return 1;
    }
    if (argc == 5 && !write_file_if_changed(argv[4], std::string(bytes.begin(), bytes.end()))) {
        std::fprintf(stderr, "%s: cannot write\n", argv[4]);
        return 1;
    }
    return 0;
}
