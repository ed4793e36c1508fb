#include "songd/track_tags.h"

#include <taglib/fileref.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/tag.h>
#include <taglib/tfilestream.h>
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
    while (first < text.size() && !not_space(text[first])) {
        ++first;
    }
    std::size_t last = text.size();
    while (last > first && !not_space(text[last - 1])) {
        --last;
    }
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

// How GBK reads `bytes`: whether every high byte pairs into a GBK character, and whether at
// least half of those are GB2312's common characters (lead 0xB0..0xF7) or its punctuation
// (0xA1..0xA9), trail 0xA1..0xFE. Latin-1 letters pair up too, but into GBK's rare extension
// characters ("ör" of Motörhead) or its user-defined area ("üß" of Grüße).
struct GbkReading {
    bool common = false;      // at least half of the pairs
    bool all_common = false;  // every pair
};

GbkReading read_as_gbk(std::string_view bytes) {
    std::size_t pairs = 0;
    std::size_t common = 0;
    for (std::size_t i = 0; i < bytes.size();) {
        auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        if (lead == 0x80 || lead == 0xFF || i + 1 >= bytes.size()) {
            return {};
        }
        auto trail = static_cast<unsigned char>(bytes[i + 1]);
        if (trail < 0x40 || trail == 0x7F || trail == 0xFF) {
            return {};
        }
        ++pairs;
        bool gb2312 =
            ((lead >= 0xB0 && lead <= 0xF7) || (lead >= 0xA1 && lead <= 0xA9)) && trail >= 0xA1;
        if (gb2312) {
            ++common;
        }
        i += 2;
    }
    return {pairs > 0 && common * 2 >= pairs, pairs > 0 && common == pairs};
}

bool is_cjk(char32_t c) {
    return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7AF) ||
           (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF00 && c <= 0xFFEF) || c >= 0x20000;
}

bool is_ascii_letter(char32_t c) {
    return (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z');
}

// The basic Greek and Cyrillic alphabets, whose words are written without ASCII letters.
bool is_greek_or_cyrillic(char32_t c) {
    return (c >= 0x391 && c <= 0x3C9) || (c >= 0x410 && c <= 0x44F);
}

// For bytes that read as well-formed UTF-8 and as common GBK both: UTF-8 when the text holds
// CJK characters, or when every other character sits beside an ASCII letter, as accented
// letters do inside words ("Grüße"), or in a word of three or more Greek or Cyrillic letters.
// GBK's pairs read as UTF-8 stand alone instead: 暖暖 (C5 AF C5 AF) reads "ůů", 谢谢 "лл".
bool utf8_reads_better(std::string_view bytes) {
    std::u32string text;
    for (char32_t c : platform::utf8_to_utf16(bytes)) {
        text += c;  // code units: surrogates only matter as "not a letter" here
    }
    bool all_beside_letters = true;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (is_cjk(text[i])) {
            return true;
        }
        if (text[i] < 0x80) {
            continue;
        }
        bool before = i > 0 && is_ascii_letter(text[i - 1]);
        bool after = i + 1 < text.size() && is_ascii_letter(text[i + 1]);
        std::size_t run = 0;
        if (is_greek_or_cyrillic(text[i])) {
            std::size_t first = i;
            while (first > 0 && is_greek_or_cyrillic(text[first - 1])) {
                --first;
            }
            std::size_t last = i;
            while (last + 1 < text.size() && is_greek_or_cyrillic(text[last + 1])) {
                ++last;
            }
            run = last - first + 1;
        }
        all_beside_letters = all_beside_letters && (before || after || run >= 3);
    }
    return all_beside_letters;
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
    for (char c : bytes) {
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    }
    if (ascii) {
        return std::string(bytes);
    }
    GbkReading gbk = read_as_gbk(bytes);
    if (platform::is_valid_utf8(bytes) && (!gbk.all_common || utf8_reads_better(bytes))) {
        return std::string(bytes);
    }
    if (gbk.common) {
        return platform::gbk_to_utf8(platform::TextView(bytes));
    }
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
    if (dot != std::string_view::npos && dot > 0) {
        name = name.substr(0, dot);
    }
    std::string text = to_utf8_lenient(name);
    std::size_t dash = text.find(" - ");
    if (dash == std::string::npos) {
        return {trimmed(text), {}};
    }
    return {trimmed(text.substr(dash + 3)), trimmed(text.substr(0, dash))};
}

std::optional<TrackTags> read_track_tags(const std::string& path) {
    static std::once_flag installed;
    std::call_once(installed, install_tag_string_handlers);

    // Opened read-only: a file opened for writing raises a write event on closing, which
    // would bring the file back to be read again (and wakes every other watcher of the folder).
    TagLib::FileStream stream(path.c_str(), true);
    if (!stream.isOpen()) {
        return std::nullopt;
    }
    // The audio properties (from the first frame headers only) tell music from noise that
    // merely carries a music file's name.
    TagLib::FileRef file(&stream, true, TagLib::AudioProperties::Fast);
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
        if (tags.title.empty()) {
            tags.title = std::move(from_name.title);
        }
        if (tags.author.empty()) {
            tags.author = std::move(from_name.author);
        }
    }
    return tags;
}

std::string playable_extension(std::string_view path) {
    static constexpr std::array<std::string_view, 6> kExtensions = {"mp3",  "ogg",  "oga",
                                                                    "opus", "flac", "wav"};
    std::string_view name = path.substr(path.rfind('/') + 1);
    std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0) {
        return {};
    }
    std::string extension(name.substr(dot + 1));
    for (char& c : extension) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c + 0x20);
        }
    }
    for (std::string_view known : kExtensions) {
        if (extension == known) {
            return extension;
        }
    }
    return {};
}

std::string content_type_of(std::string_view extension) {
    if (extension == "mp3") {
        return "audio/mpeg";
    }
    if (extension == "ogg" || extension == "oga" || extension == "opus") {
        return "audio/ogg";
    }
    if (extension == "flac") {
        return "audio/flac";
    }
    if (extension == "wav") {
        return "audio/wav";
    }
    return "application/octet-stream";
}

}  // namespace wavlon::songd
