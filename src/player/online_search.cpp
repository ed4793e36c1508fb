#include "player/online_search.h"

#include "app/main_window_units.h"
#include "network/http_request.h"
#include "network/json_document.h"
#include "network/text_helpers.h"
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

}  // namespace

const std::string& search_service_url() {
    static const std::string built_in = WAVLON_SEARCH_SERVICE_URL;
    const std::string& url = player::program_state().search_service_url;
    return url.empty() ? built_in : url;
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
