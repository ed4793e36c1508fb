// Fuzz target for what the song service does with what it is sent and what it reads: a posted
// search before it reaches the catalogue (the form-body split, the percent decoder, the
// lenient UTF-8 step, the page number, the folding of keywords into search terms, and the JSON
// answer built from the decoded texts); the same bytes as a Range header; and the same bytes
// as a tag field that claims to be Latin-1 and as a file name that tags fall back to.
//
// Input: a form body as a client might post it.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/codec.h"
#include "songd/form_body.h"
#include "songd/search_text.h"
#include "songd/song_server.h"
#include "songd/track_tags.h"

using namespace wavlon::songd;

namespace {

// A range that is served lies inside the file, whatever the header says.
void check_range(std::string_view header, std::int64_t size) {
    RangeAsk range = parse_range(header, size);
    if (range.kind == RangeAsk::Part &&
        (range.first < 0 || range.first > range.last || range.last >= size)) {
        std::abort();
    }
}

// Texts read from tags and file names are always UTF-8, whatever bytes they came from.
void check_tag_texts(std::string_view bytes) {
    if (!wavlon::platform::is_valid_utf8(decode_latin1_field(bytes)))
        std::abort();
    TrackTags tags = tags_from_file_name(bytes);
    if (!wavlon::platform::is_valid_utf8(tags.title) ||
        !wavlon::platform::is_valid_utf8(tags.author)) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view body(reinterpret_cast<const char*>(data), size);
    for (std::int64_t file_size : {std::int64_t{0}, std::int64_t{1}, std::int64_t{4096},
                                   std::int64_t{1} << 40}) {
        check_range(body, file_size);
    }
    check_tag_texts(body);
    for (const auto& [key, value] : parse_form(body)) {
        // Decoding never grows a text, and never leaves a separator in a key.
        if (key.size() > body.size() || value.size() > body.size())
            std::abort();
        std::string keyword = to_utf8_lenient(value);
        if (!wavlon::platform::is_valid_utf8(keyword))
            std::abort();
        for (const std::string& term : search_terms(keyword)) {
            if (term.empty() || term.find(' ') != std::string::npos)
                std::abort();
            if (!wavlon::platform::is_valid_utf8(term))
                std::abort();
        }
        // Whatever the texts hold, the answer stays one JSON object with no raw "%" in it
        // (the player percent-decodes the whole answer before parsing it).
        std::string json = search_answer_json({{1, "/m/a.mp3", keyword, key}}, "http://h/");
        if (json.find('%') != std::string::npos || json.rfind("{\"data\":[", 0) != 0) {
            std::abort();
        }
        for (char c : json) {
            if (static_cast<unsigned char>(c) < 0x20)
                std::abort();
        }
        auto page = page_number(value);
        if (page && *page < 1)
            std::abort();
    }
    return 0;
}
