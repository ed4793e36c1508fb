#include "player/online_search.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <cstdlib>
#include <filesystem>
#include "app/application.h"
#include "app/event_table.h"
#include "app/main_window_units.h"
#include "platform/dialogs.h"
#include "platform/network_check.h"
#include "runtime/program.h"
#include "runtime/window_table.h"
#include "player/program_state.h"
#include "support/local_http_server.h"
#include "support/main_window_driver.h"
#include "support/song_search_service.h"

namespace wavlon::testing {
namespace {

using runtime::operator""_gb;
using runtime::Text;
using Mode = SongSearchService::Mode;

// The program's main window, online, with the search pointed at a local song-search service.
class OnlineSearch : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        set_online(true);
        search::set_search_service_url_for_tests(m_service.url());
        start();
    }

    // Types `utf8` at the end of the keyword, as an input method commits it.
    void type(const std::string& utf8) { type_text("编辑框3", utf8); }

    void click_search() { click("按钮8"); }

    static Text caption(const units::UnitRef<units::ButtonUnit>& button) {
        return button->caption();
    }
    static std::int32_t row_count() { return units::超级列表框1->item_count(); }
    static Text cell(int row, int column) { return units::超级列表框1->get_item_text(row, column); }
    // The page numbers the service was asked for, in order.
    std::vector<std::string> pages_asked() const {
        std::vector<std::string> pages;
        for (const HttpRequest& request : m_service.requests()) {
            pages.push_back(SongSearchService::form_value(request.body, "page").value_or("?"));
        }
        return pages;
    }

    SongSearchService m_service;
};

TEST(SearchRequestBody, KeywordIsSentAsPercentEncodedUtf8) {
    struct Case {
        const char* keyword;  // UTF-8
        runtime::TextView body;
    };
    const Case cases[] = {
        {"a b", "input=a%20b&filter=name&type=netease&page=1"},
        {"a+b", "input=a%2Bb&filter=name&type=netease&page=1"},
        {"周杰伦", "input=%E5%91%A8%E6%9D%B0%E4%BC%A6&filter=name&type=netease&page=1"},
        {"", "input=&filter=name&type=netease&page=1"},
        {"A-z.0_~&=", "input=A-z.0%5F%7E%26%3D&filter=name&type=netease&page=1"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(search::search_request_body(runtime::utf8_to_gbk(c.keyword), 1), c.body)
            << c.keyword;
    }
    EXPECT_EQ(search::search_request_body("x", 12), "input=x&filter=name&type=netease&page=12");
}

TEST_F(OnlineSearch, SearchPostsTheFormWithTheAjaxHeader) {
    type("a b");
    click_search();

    const std::vector<HttpRequest> requests = m_service.requests();
    ASSERT_EQ(requests.size(), 1u);
    const HttpRequest& request = requests[0];
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.target, "/");
    EXPECT_EQ(request.body, "input=a%20b&filter=name&type=netease&page=1");
    EXPECT_EQ(request.header("X-Requested-With"), "XMLHttpRequest");
    EXPECT_EQ(request.header("Content-Type"), "application/x-www-form-urlencoded");
    // The program's own header comes once, ahead of the defaults that complete the request.
    int ajax = -1;
    int content_type = -1;
    for (std::size_t i = 0; i < request.headers.size(); ++i) {
        if (request.headers[i].first == "X-Requested-With") {
            EXPECT_EQ(ajax, -1) << "sent twice";
            ajax = static_cast<int>(i);
        } else if (request.headers[i].first == "Content-Type") {
            content_type = static_cast<int>(i);
        }
    }
    EXPECT_LT(ajax, content_type);
    EXPECT_EQ(caption(units::按钮8), "加载更多"_gb);
}

TEST_F(OnlineSearch, LoadMoreAppendsTheNextPagesNumberedFromOneEach) {
    type("love");
    for (int click = 0; click < 4; ++click) {
        click_search();
    }

    EXPECT_EQ(pages_asked(), (std::vector<std::string>{"1", "2", "3", "4"}));
    EXPECT_EQ(player::program_state().search_page, 4);
    ASSERT_EQ(row_count(), 8);
    for (int row = 0; row < 8; ++row) {
        const std::string page = std::to_string(row / 2 + 1);
        const std::string index = std::to_string(row % 2 + 1);
        EXPECT_EQ(cell(row, 0), Text(index)) << row;
        EXPECT_EQ(cell(row, 1), runtime::utf8_to_gbk("歌" + page + "." + index)) << row;
        EXPECT_EQ(cell(row, 2), runtime::utf8_to_gbk("歌手" + page)) << row;
        EXPECT_EQ(cell(row, 3), Text(m_service.url("/song/" + page + "/" + index + ".mp3"))) << row;
    }
    EXPECT_EQ(caption(units::按钮8), "加载更多"_gb);
}

TEST_F(OnlineSearch, KeywordChangeEmptiesTheListAndStartsOverAtPageOne) {
    type("lov");
    click_search();
    click_search();
    ASSERT_EQ(row_count(), 4);

    type("e");
    EXPECT_EQ(row_count(), 0);
    EXPECT_EQ(caption(units::按钮8), "搜索"_gb);
    EXPECT_EQ(units::透明标签12->caption(), "");

    click_search();
    const std::vector<HttpRequest> requests = m_service.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[2].body, "input=love&filter=name&type=netease&page=1");
    EXPECT_EQ(row_count(), 2);
    EXPECT_EQ(cell(0, 1), "歌1.1"_gb);
}

TEST_F(OnlineSearch, FirstClickBeforeTypingSendsNothing) {
    ASSERT_EQ(caption(units::按钮8), "搜索网络歌曲"_gb);
    click_search();
    EXPECT_TRUE(m_service.requests().empty());
    EXPECT_EQ(player::program_state().search_page, 1);
    EXPECT_EQ(row_count(), 0);
    EXPECT_EQ(caption(units::按钮8), "搜索网络歌曲"_gb);

    type("x");
    click_search();
    EXPECT_EQ(pages_asked(), (std::vector<std::string>{"1"}));
}

TEST_F(OnlineSearch, ChineseSongsReadTheSameFromEscapedAndRawUtf8Answers) {
    // U+20BB7 lies outside the basic plane: escaped as a surrogate pair, four bytes in GB18030.
    m_service.set_songs({{"七里香 𠮷", "周杰伦", "http://127.0.0.1/七.mp3"}});
    for (Mode mode : {Mode::kEscaped, Mode::kRawUtf8}) {
        m_service.set_mode(mode);
        type("q");
        click_search();
        ASSERT_EQ(row_count(), 1) << static_cast<int>(mode);
        EXPECT_EQ(cell(0, 1), "七里香 𠮷"_gb);
        EXPECT_EQ(cell(0, 2), "周杰伦"_gb);
        EXPECT_EQ(cell(0, 3), "http://127.0.0.1/七.mp3"_gb);
    }
}

TEST_F(OnlineSearch, PercentEscapesInTheAnswerAreReadAsTheirBytes) {
    m_service.set_songs({{"B%41C", "100%", "http://h/a%2Eb?x=%zz"}});
    type("p");
    click_search();
    ASSERT_EQ(row_count(), 1);
    EXPECT_EQ(cell(0, 1), "BAC");
    EXPECT_EQ(cell(0, 2), "100%");
    EXPECT_EQ(cell(0, 3), "http://h/a.b?x=%zz");
}

// Answers that cannot be used, among them answers broken off after their headers: no rows,
// the button moves on, and the next search on a sound answer lists its songs.
TEST_F(OnlineSearch, UnusableAnswersAddNoRowsButTheButtonMovesOn) {
    struct Case {
        const char* name;
        Mode mode;
        bool empty_list;
    };
    const Case cases[] = {
        {"not JSON", Mode::kNotJson, false},
        {"no data", Mode::kNoData, false},
        {"script", Mode::kScript, false},
        {"trailing percent", Mode::kTrailingPercent, false},
        {"half, then closed", Mode::kHalfThenClosed, false},
        {"half, then reset", Mode::kHalfThenReset, false},
        {"garbage after the headers", Mode::kGarbageAfterHeaders, false},
        {"empty data", Mode::kEscaped, true},
    };
    for (const Case& c : cases) {
        m_service.set_mode(c.mode);
        if (c.empty_list) {
            m_service.set_songs({});
        }
        const std::size_t before = m_service.requests().size();
        type("k");
        click_search();
        click_search();
        EXPECT_EQ(m_service.requests().size(), before + 2) << c.name;
        EXPECT_EQ(row_count(), 0) << c.name;
        EXPECT_EQ(caption(units::按钮8), "加载更多"_gb) << c.name;
        if (!c.empty_list) {
            m_service.set_mode(Mode::kEscaped);
            type("k");
            click_search();
            EXPECT_EQ(row_count(), 2) << c.name;
        }
    }
}

TEST_F(OnlineSearch, RefusedServiceAddsNoRowsButTheButtonMovesOn) {
    search::set_search_service_url_for_tests(
        "http://127.0.0.1:" + std::to_string(LocalHttpServer::refused_port()) + "/");
    type("k");
    click_search();
    EXPECT_EQ(row_count(), 0);
    EXPECT_EQ(caption(units::按钮8), "加载更多"_gb);
    EXPECT_EQ(player::program_state().search_page, 1);
}

}  // namespace
}  // namespace wavlon::testing
