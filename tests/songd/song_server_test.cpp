#include "songd/song_server.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <thread>

#include "network/http_request.h"
#include "player/online_search.h"
#include "runtime/text.h"
#include "songd/log.h"
#include "songd/raw_http.h"
#include "songd/song_service.h"
#include "support/mp3_fixtures.h"

namespace wavlon::testing {
namespace {

namespace fs = std::filesystem;
using network::HttpRequestOptions;
using network::send_http_request;

struct Answer {
    std::string status;
    std::string headers;
    std::string body;
    std::string header(const std::string& name) const { return header_value(headers, name); }
};

Answer exchange(const std::string& url, HttpRequestOptions options) {
    Answer answer;
    runtime::Text status;
    runtime::Text headers;
    runtime::ByteSet bytes;
    options.status_out = &status;
    options.headers_out = &headers;
    options.body_bytes_out = &bytes;
    send_http_request(runtime::Text(url), options);  // the local service's address is ASCII
    answer.status = status.bytes();
    answer.headers = headers.bytes();
    answer.body.assign(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return answer;
}

class SongServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 1; i <= 12; ++i) {
            char name[16];
            std::snprintf(name, sizeof name, "歌%02d", i);
            write_tagged_mp3(music() / ("zhou/" + std::to_string(i) + ".mp3"),
                             id3v2_tag(FrameText::Utf8, name, "周杰伦"));
        }
        write_tagged_mp3(music() / "qingtian.mp3",
                         id3v2_tag(FrameText::Latin1, kGbkQingtian, kGbkZhouJielun));
        m_service = std::make_unique<RunningSongService>(music());
    }
    fs::path music() const { return m_folder.path() / "music"; }

    // A search exactly as the player posts it.
    Answer search(const std::string& body, bool ajax = true) {
        HttpRequestOptions options;
        options.method = 1;
        options.body = runtime::Text(body);  // the form body as it goes out
        if (ajax)
            options.extra_headers = "X-Requested-With: XMLHttpRequest";
        return exchange(m_service->url(), options);
    }
    Answer get(const std::string& path, const std::string& range = {}, int method = 0) {
        HttpRequestOptions options;
        options.method = method;
        if (!range.empty())
            options.extra_headers = runtime::Text("Range: " + range);
        return exchange(m_service->url(path), options);
    }
    static std::size_t rows(const Answer& answer) {
        std::size_t count = 0;
        for (std::size_t at = 0; (at = answer.body.find("\"title\":", at)) != std::string::npos;
             ++at) {
            ++count;
        }
        return count;
    }
    std::int64_t id_of(const std::string& keyword) {
        return m_service->catalogue()
            .search(keyword, songd::SearchField::TitleOrAuthor, 1)
            .at(0)
            .id;
    }

    TemporaryFolder m_folder;
    std::unique_ptr<RunningSongService> m_service;
};

TEST_F(SongServerTest, AnswersThePlayersSearchByteForByte) {
    const std::string body = search::search_request_body(runtime::utf8_to_gbk("晴天"), 1).bytes();
    ASSERT_EQ(body, "input=%E6%99%B4%E5%A4%A9&filter=name&type=netease&page=1");
    Answer answer = search(body);
    EXPECT_EQ(answer.status, "200 OK");
    EXPECT_EQ(answer.header("Content-Type"), "application/json; charset=utf-8");
    EXPECT_EQ(answer.body, "{\"data\":[{\"title\":\"晴天\",\"author\":\"周杰伦\",\"url\":\"" +
                               m_service->url("/song/" + std::to_string(id_of("晴天")) + ".mp3") +
                               "\"}],\"code\":200}");
    EXPECT_EQ(search(body, false).body, answer.body);
}

TEST_F(SongServerTest, PagesOfTenEndWithAnEmptyDataArray) {
    auto page = [&](int n) {
        return search(search::search_request_body(runtime::utf8_to_gbk("周杰伦"), n).bytes());
    };
    EXPECT_EQ(rows(page(1)), 10u);
    EXPECT_EQ(rows(page(2)), 3u);
    EXPECT_EQ(page(3).body, "{\"data\":[],\"code\":200}");
    EXPECT_NE(page(1).body, page(2).body);
    EXPECT_EQ(page(1).body, page(1).body);  // a stable order
}

TEST_F(SongServerTest, BadInputGetsADefinedAnswer) {
    struct Case {
        const char* name;
        std::string body;
        std::size_t rows;
    };
    const std::string zhou = "%E5%91%A8%E6%9D%B0%E4%BC%A6";
    const Case cases[] = {
        {"empty body", "", 0},
        {"no input", "filter=name&type=x&page=1", 0},
        {"empty input", "input=&filter=name&page=1", 0},
        {"page 0", "input=" + zhou + "&page=0", 10},
        {"page -5", "input=" + zhou + "&page=-5", 10},
        {"page not a number", "input=" + zhou + "&page=abc", 10},
        {"page missing", "input=" + zhou, 10},
        {"page huge", "input=" + zhou + "&page=99999999999999999999999999", 0},
        {"page max", "input=" + zhou + "&page=9223372036854775807", 0},
        {"author filter", "input=" + zhou + "&filter=author&page=2", 3},
        {"unknown filter", "input=" + zhou + "&filter=xyz&page=2", 3},
        {"broken escape", "input=%E5%91%zz%&page=1", 0},
        {"invalid UTF-8", "input=%FF%FE%80&page=1", 0},
        {"GBK keyword", "input=%D6%DC%BD%DC%C2%D7&page=2", 3},
        {"binary", std::string("input=\0\x01\x02", 9), 0},
    };
    for (const Case& c : cases) {
        Answer answer = search(c.body);
        EXPECT_EQ(answer.status, "200 OK") << c.name;
        EXPECT_EQ(rows(answer), c.rows) << c.name;
        EXPECT_EQ(answer.body.substr(0, 9), "{\"data\":[") << c.name;
    }
    Answer too_big = search("input=" + std::string(70 * 1024, 'a'));
    EXPECT_EQ(too_big.status.substr(0, 3), "413");
    EXPECT_EQ(rows(search("input=" + zhou)), 10u);  // and the service goes on
}

TEST_F(SongServerTest, ConcurrentSearchesAllGetTheirAnswers) {
    std::atomic<int> good{0};
    std::vector<std::thread> clients;
    for (int t = 0; t < 8; ++t) {
        clients.emplace_back([&, t] {
            for (int i = 0; i < 15; ++i) {
                int page = (t + i) % 3 + 1;
                Answer answer = search("input=%E5%91%A8&page=" + std::to_string(page));
                std::size_t expected = page == 1 ? 10 : page == 2 ? 3 : 0;
                if (answer.status == "200 OK" && rows(answer) == expected)
                    ++good;
            }
        });
    }
    for (auto& client : clients)
        client.join();
    EXPECT_EQ(good, 8 * 15);
}

TEST_F(SongServerTest, FrontPageNamesTheServiceAndItsSize) {
    Answer answer = get("/");
    EXPECT_EQ(answer.status, "200 OK");
    EXPECT_EQ(answer.header("Content-Type"), "text/html; charset=utf-8");
    EXPECT_NE(answer.body.find("wavlon-songd"), std::string::npos);
    EXPECT_NE(answer.body.find("13 tracks"), std::string::npos);
}

TEST(RangeHeader, MalformedRangesAskForTheWholeFile) {
    using songd::parse_range;
    using songd::RangeAsk;
    for (const char* header : {"bytes=--9999", "bytes=5--3", "bytes=x-1", "bytes=1-x", "items=0-1",
                               "bytes= 0-5", "bytes=0-5 ", "bytes=+1-2", "bytes=1-2,", ""}) {
        EXPECT_EQ(parse_range(header, 100).kind, RangeAsk::Whole) << header;
    }
    EXPECT_EQ(parse_range("bytes=-0", 100).kind, RangeAsk::Unsatisfiable);
    RangeAsk tail = parse_range("bytes=-1000", 100);
    EXPECT_EQ(tail.kind, RangeAsk::Part);
    EXPECT_EQ(tail.first, 0);
    EXPECT_EQ(tail.last, 99);
}

TEST(SongdLog, ClientBytesAreEscaped) {
    const std::pair<std::string, std::string> cases[] = {
        {"a\nb\r", "a\\x0ab\\x0d"},
        {"\x1b[31m", "\\x1b[31m"},
        {"晴天 ok", "晴天 ok"},
        {"\xff\xfe", "\\xff\\xfe"},
        {"\xc0\xaf", "\\xc0\\xaf"},           // an overlong "/"
        {"\xed\xa0\x80", "\\xed\\xa0\\x80"},  // a surrogate
        {"\xc2\x85", "\\xc2\\x85"},           // NEL, a C1 control
        {"\xe2\x80\xa8", "\\xe2\\x80\\xa8"},  // the line separator
        {"a\\x0a", "a\\\\x0a"},               // a backslash cannot fake an escape
    };
    for (const auto& [raw, logged] : cases)
        EXPECT_EQ(songd::escape_for_log(raw), logged) << logged;
}

TEST_F(SongServerTest, SongsAreServedWholeOrInRanges) {
    const std::string path = "/song/" + std::to_string(id_of("晴天")) + ".mp3";
    const std::string file = read_file_bytes((music() / "qingtian.mp3").string());
    const std::string size = std::to_string(file.size());

    Answer whole = get(path);
    EXPECT_EQ(whole.status, "200 OK");
    EXPECT_EQ(whole.header("Content-Type"), "audio/mpeg");
    EXPECT_EQ(whole.header("Accept-Ranges"), "bytes");
    EXPECT_EQ(whole.body, file);

    struct Case {
        std::string range;
        std::string status;
        std::string content_range;
        std::string body;
    };
    const std::size_t n = file.size();
    const Case cases[] = {
        {"bytes=100-199", "206 Partial Content", "bytes 100-199/" + size, file.substr(100, 100)},
        {"bytes=-10", "206 Partial Content",
         "bytes " + std::to_string(n - 10) + "-" + std::to_string(n - 1) + "/" + size,
         file.substr(n - 10)},
        {"bytes=" + std::to_string(n - 5) + "-", "206 Partial Content",
         "bytes " + std::to_string(n - 5) + "-" + std::to_string(n - 1) + "/" + size,
         file.substr(n - 5)},
        {"bytes=" + std::to_string(n - 5) + "-99999999", "206 Partial Content",
         "bytes " + std::to_string(n - 5) + "-" + std::to_string(n - 1) + "/" + size,
         file.substr(n - 5)},
        {"bytes=" + size + "-", "416 Range Not Satisfiable", "bytes */" + size, ""},
        {"bytes=99999999-100000000", "416 Range Not Satisfiable", "bytes */" + size, ""},
        {"bytes=0-1,5-6", "200 OK", "", file},
        {"bytes=-0", "416 Range Not Satisfiable", "bytes */" + size, ""},
        // Not a valid byte range: ignored, as RFC 9110 says.
        {"bytes=5-3", "200 OK", "", file},
        {"items=0-5", "200 OK", "", file},
        {"bytes = 0-5", "200 OK", "", file},
        {"bytes=0 - 5", "200 OK", "", file},
    };
    for (const Case& c : cases) {
        Answer answer = get(path, c.range);
        EXPECT_EQ(answer.status, c.status) << c.range;
        EXPECT_EQ(answer.header("Content-Range"), c.content_range) << c.range;
        EXPECT_EQ(answer.body, c.body) << c.range;
    }

    Answer head = get(path, {}, 2);
    EXPECT_EQ(head.status, "200 OK");
    EXPECT_EQ(head.header("Content-Length"), size);
    EXPECT_TRUE(head.body.empty());
}

TEST_F(SongServerTest, NothingOutsideTheMusicFoldersIsEverServed) {
    const std::string id = std::to_string(id_of("晴天"));
    for (const std::string& path : std::vector<std::string>{
             "/song/../../../../etc/passwd", "/song/%2e%2e/%2e%2e/etc/passwd",
             "/song/" + id + ".ogg", "/song/" + id + ".mp3/../../x", "/song/999999.mp3",
             "/song/-1.mp3", "/etc/passwd", "/song/" + id}) {
        Answer answer = get(path);
        EXPECT_EQ(answer.status.substr(0, 3), "404") << path;
        EXPECT_EQ(answer.body.find("root:"), std::string::npos) << path;
    }
    // Even an entry that leads outside (a file swapped for a link) is refused.
    const fs::path outside = m_folder.path() / "outside.mp3";
    write_tagged_mp3(outside, "");
    fs::remove(music() / "qingtian.mp3");
    fs::create_symlink(outside, music() / "qingtian.mp3");
    EXPECT_EQ(get("/song/" + id + ".mp3").status.substr(0, 3), "404");
}

TEST_F(SongServerTest, FilesAddedOrDeletedWhileRunningAreSeenAtOnce) {
    write_tagged_mp3(music() / "new" / "added.mp3", id3v2_tag(FrameText::Utf16, "新歌", "新人"));
    ASSERT_TRUE(m_service->wait_for_count("新歌", 1));
    EXPECT_EQ(rows(search("input=%E6%96%B0%E6%AD%8C&page=1")), 1u);

    const std::string path = "/song/" + std::to_string(id_of("晴天")) + ".mp3";
    fs::remove(music() / "qingtian.mp3");
    EXPECT_EQ(get(path).status.substr(0, 3), "404");    // never served again, even before the
    ASSERT_TRUE(m_service->wait_for_count("晴天", 0));  // catalogue has caught up
    fs::rename(music() / "new", m_folder.path() / "moved-away");
    EXPECT_TRUE(m_service->wait_for_count("新歌", 0));
}

TEST(SongServerOptions, PublicAddressIsUsedForTheSongs) {
    TemporaryFolder folder;
    write_tagged_mp3(folder.path() / "m" / "a.mp3", id3v2_tag(FrameText::Utf8, "Alpha", "B"));
    RunningSongService service(folder.path() / "m", {"127.0.0.1", 0, "http://music.lan:9000/x/"});
    HttpRequestOptions options;
    options.method = 1;
    options.body = "input=alpha&filter=name&type=t&page=1";
    Answer answer = exchange(service.url(), options);
    EXPECT_NE(answer.body.find("\"url\":\"http://music.lan:9000/x/song/"), std::string::npos)
        << answer.body;
}

}  // namespace
}  // namespace wavlon::testing
