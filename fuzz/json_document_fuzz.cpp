// Received search answers: parse arbitrary bytes as a JSON document and read it the way the
// online search does. Nothing may crash, hang or run as script.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "network/json_document.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // One engine for the whole run: parse replaces the document each time.
    static wavlon::network::JsonDocument doc;
    const wavlon::runtime::TextView text(
        std::string_view(reinterpret_cast<const char*>(data), size));
    doc.parse(text);
    std::int32_t count = doc.get_count("data");
    for (std::int32_t i = 0; i < std::min(count, 20); ++i) {
        const wavlon::runtime::Text row = "data[" + wavlon::runtime::decimal(i) + "].";
        doc.get_text(row + "title");
        doc.get_text(row + "author");
        doc.get_text(row + "url");
        doc.get_type(row + "url");
    }
    doc.get_text("code", true);
    doc.to_json();
    wavlon::runtime::Array<wavlon::runtime::Text> names;
    doc.get_member_names("", names);
    return 0;
}
