#include "player/online_search.h"

#include <algorithm>
#include <string_view>

#include "app/main_window_units.h"
#include "network/http_request.h"
#include "network/json_document.h"
#include "network/text_helpers.h"
#include "player/music_folder.h"
#include "player/program_state.h"
#include "player/window_units.h"

namespace wavlon::search {

using runtime::operator""_gb;
using network::HttpRequestOptions;
using network::JsonDocument;
using network::send_http_request;
using network::url_decode;
using network::url_encode;
using player::set_text;
using player::text_of;
using runtime::Text;
namespace u = units;

namespace {

// Asks the service for one page and returns the answer with its percent escapes decoded; the
// empty text when the request failed.
Text fetch_page(const Text& keyword, std::int32_t page) {
    HttpRequestOptions options;
    options.method = 1;  // POST
    options.body = search_request_body(keyword, page);
    options.extra_headers = "X-Requested-With: XMLHttpRequest";
    const Text answer = send_http_request(runtime::utf8_to_gbk(search_service_url()), options);
    return url_decode(answer, false);
}

// One row per element of the answer's "data" array, numbered from 1 within this page.
void append_rows(JsonDocument& document) {
    const std::int32_t count = document.get_count("data");
    for (std::int32_t i = 1; i <= count; ++i) {
        const std::int32_t row = u::超级列表框1->insert_item();
        const Text element = "data[" + runtime::decimal(i - 1) + "].";
        u::超级列表框1->set_item_text(row, 0, runtime::decimal(i));
        u::超级列表框1->set_item_text(row, 1, document.get_text(element + "title"));
        u::超级列表框1->set_item_text(row, 2, document.get_text(element + "author"));
        u::超级列表框1->set_item_text(row, 3, document.get_text(element + "url"));
    }
}

// An http:// or https:// address with a host, in printable ASCII.
bool is_service_address(std::string_view url) {
    std::string lower(url.substr(0, 8));
    for (char& c : lower) {
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    const std::size_t scheme = lower.starts_with("https://")  ? 8
                               : lower.starts_with("http://") ? 7
                                                              : 0;
    if (scheme == 0 || url.size() == scheme || url[scheme] == '/' || url[scheme] == ':' ||
        url[scheme] == '?' || url[scheme] == '#') {
        return false;
    }
    return std::all_of(url.begin(), url.end(), [](char c) { return c > 0x20 && c < 0x7f; });
}

}  // namespace

const std::string& search_service_url() {
    static const std::string built_in = WAVLON_SEARCH_SERVICE_URL;
    const player::ProgramState& state = player::program_state();
    if (!state.configured_service_url.empty()) {
        return state.configured_service_url;
    }
    return state.search_service_url.empty() ? built_in : state.search_service_url;
}

bool load_service_setting() {
    const Text value = player::read_setting("service");
    player::program_state().configured_service_url =
        is_service_address(value.bytes()) ? value.bytes() : std::string();
    return !player::program_state().configured_service_url.empty();
}

void set_search_service_url_for_tests(const std::string& url) {
    player::program_state().search_service_url = url;
}

Text search_request_body(const Text& keyword, std::int32_t page) {
    // The keyword goes out as UTF-8, percent-encoded.
    return "input=" + url_encode(keyword, true, true) +
           "&filter=name&type=netease&page=" + runtime::decimal(page);
}

void on_search_clicked() {
    JsonDocument document;
    const Text keyword = text_of(u::编辑框3, u::EditBoxUnit::kContent);
    std::int32_t& search_page = player::program_state().search_page;
    ++search_page;
    Text answer;
    const Text caption = text_of(u::按钮8, u::ButtonUnit::kCaption);
    if (caption == "搜索"_gb) {
        search_page = 1;
        answer = fetch_page(keyword, search_page);
        set_text(u::按钮8, u::ButtonUnit::kCaption, "加载更多"_gb);
    } else if (caption == "加载更多"_gb) {
        answer = fetch_page(keyword, search_page);
    }
    // An empty or non-JSON answer leaves a null document, whose "data" counts 0 elements.
    document.parse(answer);
    append_rows(document);
}

void on_keyword_changed() {
    u::超级列表框1->delete_all_items();
    set_text(u::按钮8, u::ButtonUnit::kCaption, "搜索"_gb);
    set_text(u::透明标签12, u::TransLabelUnit::kCaption, {});
}

}  // namespace wavlon::search
