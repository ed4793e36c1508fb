#include "player/online_search.h"

#include "app/main_window_units.h"
#include "network/http_request.h"
#include "network/json_document.h"
#include "network/text_helpers.h"

namespace wavlon::search {

using runtime::operator""_gb;
using runtime::Text;
using runtime::Value;
namespace u = units;

std::int32_t search_page = 0;

namespace {

std::string& service_url_override() {
    static std::string url;
    return url;
}

Text text_property(const runtime::Value& value) {
    const Text* text = value.get<Text>();
    return text ? *text : Text{};
}

Text button_caption() {
    return text_property(u::按钮8.read(u::ButtonUnit::kCaption));
}

// Asks the service for one page and returns the answer with its percent escapes decoded; the
// empty text when the request failed.
Text fetch_page(const Text& keyword, std::int32_t page) {
    HttpRequestOptions options;
    options.method = 1;  // POST
    options.body = search_request_body(keyword, page);
    options.extra_headers = "X-Requested-With: XMLHttpRequest";
    const Text answer = send_http_request(runtime::from_utf8(search_service_url()), options);
    return url_decode(answer, false);
}

// One row per element of the answer's "data" array, numbered from 1 within this page.
void append_rows(JsonDocument& document) {
    const std::int32_t count = document.get_count("data");
    for (std::int32_t i = 1; i <= count; ++i) {
        const std::int32_t row = u::超级列表框1->insert_item();
        const std::string element = "data[" + std::to_string(i - 1) + "].";
        u::超级列表框1->set_item_text(row, 0, std::to_string(i));
        u::超级列表框1->set_item_text(row, 1, document.get_text(element + "title"));
        u::超级列表框1->set_item_text(row, 2, document.get_text(element + "author"));
        u::超级列表框1->set_item_text(row, 3, document.get_text(element + "url"));
    }
}

}  // namespace

const std::string& search_service_url() {
    static const std::string built_in = WAVLON_SEARCH_SERVICE_URL;
    const std::string& url = service_url_override();
    return url.empty() ? built_in : url;
}

void set_search_service_url_for_tests(const std::string& url) {
    service_url_override() = url;
}

Text search_request_body(const Text& keyword, std::int32_t page) {
    // The keyword becomes UTF-8 exactly once; url_encode then only escapes its bytes.
    return "input=" + url_encode(gbk_to_utf8(keyword), true, false) +
           "&filter=name&type=netease&page=" + std::to_string(page);
}

void on_search_clicked() {
    JsonDocument document;
    const Text keyword = text_property(u::编辑框3.read(u::EditBoxUnit::kContent));
    ++search_page;
    Text answer;
    const Text caption = button_caption();
    if (caption == "搜索"_gb) {
        search_page = 1;
        answer = fetch_page(keyword, search_page);
        u::按钮8.write(u::ButtonUnit::kCaption, Value::text("加载更多"_gb));
    } else if (caption == "加载更多"_gb) {
        answer = fetch_page(keyword, search_page);
    }
    // An empty or non-JSON answer leaves a null document, whose "data" counts 0 elements.
    document.parse(answer);
    append_rows(document);
}

void on_keyword_changed() {
    u::超级列表框1->delete_all_items();
    u::按钮8.write(u::ButtonUnit::kCaption, Value::text("搜索"_gb));
    u::透明标签12.write(u::TransLabelUnit::kCaption, Value::text({}));
}

}  // namespace wavlon::search
