#include "songd/tagged_files.h"

#include <cstdlib>
#include <fstream>
#include <stdexcept>

#include "platform/codec.h"
#include "support/mp3_fixtures.h"

namespace wavlon::testing {
namespace {

std::string size_bytes(std::size_t size, bool syncsafe) {
    std::string out(4, '\0');
    for (int i = 3; i >= 0; --i) {
        out[static_cast<std::size_t>(i)] = static_cast<char>(syncsafe ? size & 0x7F : size & 0xFF);
        size >>= syncsafe ? 7 : 8;
    }
    return out;
}

std::string frame(const char* id, char encoding, const std::string& text, bool syncsafe) {
    std::string payload = std::string(1, encoding) + text;
    return std::string(id) + size_bytes(payload.size(), syncsafe) + std::string(2, '\0') + payload;
}

std::string encode(FrameText kind, const std::string& text) {
    if (kind != FrameText::Utf16)
        return text;
    std::u16string units = platform::utf8_to_utf16(text);
    std::string out = "\xFF\xFE";
    for (char16_t unit : units) {
        out += static_cast<char>(unit & 0xFF);
        out += static_cast<char>(unit >> 8);
    }
    return out;
}

}  // namespace

std::string id3v2_tag(FrameText kind, const std::string& title, const std::string& artist) {
    bool v4 = kind == FrameText::Utf8;
    char encoding = kind == FrameText::Utf8 ? 3 : kind == FrameText::Utf16 ? 1 : 0;
    std::string frames;
    if (!title.empty())
        frames += frame("TIT2", encoding, encode(kind, title), v4);
    if (!artist.empty())
        frames += frame("TPE1", encoding, encode(kind, artist), v4);
    std::string header = "ID3";
    header += v4 ? '\x04' : '\x03';
    header += std::string(2, '\0');
    return header + size_bytes(frames.size(), true) + frames;
}

std::string id3v1_tag(const std::string& title, const std::string& artist) {
    auto field = [](const std::string& text) {
        std::string out = text.substr(0, 30);
        out.resize(30, '\0');
        return out;
    };
    return "TAG" + field(title) + field(artist) + field("") + std::string(4, '\0') + field("") +
           std::string(1, '\xFF');
}

void write_tagged_mp3(const std::filesystem::path& path, const std::string& before,
                      const std::string& after, bool long_sound) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << before << read_file_bytes(mp3_file(long_sound ? Mp3Kind::CbrNoTag : Mp3Kind::Short))
        << after;
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

TemporaryFolder::TemporaryFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "wavlon-songd-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
}

TemporaryFolder::~TemporaryFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

}  // namespace wavlon::testing
