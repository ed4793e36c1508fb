#include "songd/track_tags.h"

#include <taglib/fileref.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/tag.h>
#include <taglib/tstring.h>

#include <array>
#include <mutex>

#include "platform/codec.h"
#include "songd/form_body.h"

namespace wavlon::songd {
namespace {

std::string trimmed(std::string text) {
    auto not_space = [](char c) { return c != ' ' && c != '\t' && c != '\r' && c != '\n'; };
    std::size_t first = 0;
    while (first < text.size() && !not_space(text[first]))
        ++first;
    std::size_t last = text.size();
    while (last > first && !not_space(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

std::string latin1_to_utf8(std::string_view bytes) {
    std::string out;
    for (char c : bytes) {
        auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | (b >> 6));
            out += static_cast<char>(0x80 | (b & 0x3F));
        }
    }
    return out;
}

// True when `bytes` parse as GBK double-byte characters and at least half of them have a
// trail byte above 0x7F. Latin-1 letters followed by ASCII ("ör" in Motörhead) also pair up
// as GBK, but with ASCII trail bytes; Chinese text in GBK mostly has both bytes high.
bool looks_like_gbk(std::string_view bytes) {
    std::size_t pairs = 0;
    std::size_t high_trails = 0;
    for (std::size_t i = 0; i < bytes.size();) {
        auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        if (lead == 0x80 || lead == 0xFF || i + 1 >= bytes.size())
            return false;
        auto trail = static_cast<unsigned char>(bytes[i + 1]);
        if (trail < 0x40 || trail == 0x7F || trail == 0xFF)
            return false;
        ++pairs;
        if (trail >= 0x80)
            ++high_trails;
        i += 2;
    }
    return pairs > 0 && high_trails * 2 >= pairs;
}

TagLib::String to_taglib(const std::string& utf8) {
    return TagLib::String(utf8, TagLib::String::UTF8);
}

class Latin1Handler : public TagLib::ID3v2::Latin1StringHandler {
public:
    TagLib::String parse(const TagLib::ByteVector& data) const override {
        return to_taglib(decode_latin1_field(std::string_view(data.data(), data.size())));
    }
};

class Id3v1Handler : public TagLib::ID3v1::StringHandler {
public:
    TagLib::String parse(const TagLib::ByteVector& data) const override {
        std::string_view bytes(data.data(), data.size());
        bytes = bytes.substr(0, bytes.find('\0'));
        return to_taglib(trimmed(decode_latin1_field(bytes)));
    }
};

std::string utf8_of(const TagLib::String& text) {
    return trimmed(text.to8Bit(true));
}

}  // namespace

std::string decode_latin1_field(std::string_view bytes) {
    bool ascii = true;
    for (char c : bytes)
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii)
        return std::string(bytes);
    if (platform::is_valid_utf8(bytes))
        return std::string(bytes);
    if (looks_like_gbk(bytes))
        return platform::gbk_to_utf8(platform::TextView(bytes));
    return latin1_to_utf8(bytes);
}

void install_tag_string_handlers() {
    static Latin1Handler latin1;
    static Id3v1Handler id3v1;
    TagLib::ID3v2::Tag::setLatin1StringHandler(&latin1);
    TagLib::ID3v1::Tag::setStringHandler(&id3v1);
}

TrackTags tags_from_file_name(std::string_view path) {
    std::string_view name = path.substr(path.rfind('/') + 1);
    std::size_t dot = name.rfind('.');
    if (dot != std::string_view::npos && dot > 0)
        name = name.substr(0, dot);
    std::string text = to_utf8_lenient(name);
    std::size_t dash = text.find(" - ");
    if (dash == std::string::npos)
        return {trimmed(text), {}};
    return {trimmed(text.substr(dash + 3)), trimmed(text.substr(0, dash))};
}

std::optional<TrackTags> read_track_tags(const std::string& path) {
    static std::once_flag installed;
    std::call_once(installed, install_tag_string_handlers);

    // The audio properties (from the first frame headers only) tell music from noise that
    // merely carries a music file's name.
    TagLib::FileRef file(path.c_str(), true, TagLib::AudioProperties::Fast);
    if (file.isNull() || file.audioProperties() == nullptr ||
        file.audioProperties()->sampleRate() <= 0 ||
        file.audioProperties()->lengthInMilliseconds() <= 0) {
        return std::nullopt;
    }
    TrackTags tags;
    if (const TagLib::Tag* tag = file.tag()) {
        tags.title = utf8_of(tag->title());
        tags.author = utf8_of(tag->artist());
    }
    if (tags.title.empty() || tags.author.empty()) {
        TrackTags from_name = tags_from_file_name(path);
        if (tags.title.empty())
            tags.title = std::move(from_name.title);
        if (tags.author.empty())
            tags.author = std::move(from_name.author);
    }
    return tags;
}

std::string playable_extension(std::string_view path) {
    static constexpr std::array<std::string_view, 6> kExtensions = {"mp3",  "ogg",  "oga",
                                                                    "opus", "flac", "wav"};
    std::string_view name = path.substr(path.rfind('/') + 1);
    std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0)
        return {};
    std::string extension(name.substr(dot + 1));
    for (char& c : extension) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 0x20);
    }
    for (std::string_view known : kExtensions) {
        if (extension == known)
            return extension;
    }
    return {};
}

std::string content_type_of(std::string_view extension) {
    if (extension == "mp3")
        return "audio/mpeg";
    if (extension == "ogg" || extension == "oga" || extension == "opus")
        return "audio/ogg";
    if (extension == "flac")
        return "audio/flac";
    if (extension == "wav")
        return "audio/wav";
    return "application/octet-stream";
}

}  // namespace wavlon::songd
