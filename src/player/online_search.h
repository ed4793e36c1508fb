// The online song search panel: the keyword edit box 编辑框3, the search button 按钮8 (its
// caption is the panel's mode: "搜索网络歌曲" before any keyword, "搜索" after a keyword
// change, "加载更多" once a search was made), the hint label 透明标签12 and the result list
// 超级列表框1 (columns: number within its page, title, singer, song address).
//
// Event routines, user-interface thread only. A request blocks the thread until the service
// answers or the request fails; failures are never shown: they simply add no rows.
#pragma once

#include <cstdint>
#include <string>

#include "runtime/text.h"

namespace wavlon::search {

// The song-search service's address (scheme, host and a path ending in "/"): the one the user
// set in config.ini (load_service_setting), else the build setting WAVLON_SEARCH_SERVICE_URL
// unless a test replaced it. The page last asked for is player::program_state().search_page.
const std::string& search_service_url();

// Start-up: takes the address in config.ini, section "config", key "service" (for example
// "service=http://music.lan:8765/"), when it is an http:// or https:// address with a host
// and nothing but printable ASCII; any other value is ignored and the built-in address
// stays. True when an address was taken.
bool load_service_setting();
// Points the search at another service; an empty url restores the built-in address.
void set_search_service_url_for_tests(const std::string& url);

// The form body of one request: the keyword (a GB18030 text) as percent-encoded UTF-8 and the
// page number, e.g. "input=a%20b&filter=name&type=netease&page=1".
runtime::Text search_request_body(const runtime::Text& keyword, std::int32_t page);

// 按钮8 clicked: starts a new search at page 1 ("搜索"), fetches the next page ("加载更多"), or
// does nothing visible (any other caption); the songs found are appended to 超级列表框1.
void on_search_clicked();

// 编辑框3 changed: empties the result list, the button reads "搜索", the hint goes.
void on_keyword_changed();

}  // namespace wavlon::search
