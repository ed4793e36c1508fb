// The service's HTTP front as a careless or hostile neighbour meets it: exact bytes on real
// sockets against the real server on 127.0.0.1.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "songd/raw_http.h"
#include "songd/song_service.h"
#include "songd/tagged_files.h"

namespace wavlon::testing {
namespace {

class HttpFrontTest : public ::testing::Test {
protected:
    void SetUp() override {
        write_tagged_mp3(m_folder.path() / "m" / "a.mp3",
                         id3v2_tag(FrameText::Utf8, "Alpha", "Beta"));
        m_service = std::make_unique<RunningSongService>(m_folder.path() / "m");
        m_host = "127.0.0.1:" + std::to_string(port());
    }
    int port() const { return m_service->port(); }
    std::string search(const std::string& host_line = {}) const {
        return "POST / HTTP/1.1\r\n" +
               (host_line.empty() ? "Host: " + m_host + "\r\n" : host_line) +
               "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: 13\r\n\r\n"
               "input=alpha&p";
    }

    TemporaryFolder m_folder;
    std::unique_ptr<RunningSongService> m_service;
    std::string m_host;
};

TEST_F(HttpFrontTest, SlowAndIdleClientsNeitherStopSearchesNorStayForever) {
    std::vector<std::unique_ptr<RawConnection>> idle;
    for (int i = 0; i < 200; ++i)
        idle.push_back(std::make_unique<RawConnection>(port()));
    std::atomic<int> trickled_closed{0};
    std::vector<std::thread> tricklers;
    for (int i = 0; i < 8; ++i) {
        tricklers.emplace_back([&] {
            RawConnection slow(port());
            for (char byte : search()) {  // a byte every 300 ms: 50 s for the whole request
                if (!slow.send(std::string(1, byte)) || slow.closed_within(300)) {
                    ++trickled_closed;
                    return;
                }
            }
        });
    }
    for (int i = 0; i < 20; ++i) {
        RawAnswer answer = raw_exchange(port(), search());
        EXPECT_EQ(answer.status, 200) << "search " << i;
        EXPECT_NE(answer.body.find("\"title\":\"Alpha\""), std::string::npos);
    }
    for (auto& thread : tricklers)
        thread.join();  // each ends when the service cuts it off
    EXPECT_EQ(trickled_closed, 8);
    for (auto& connection : idle)
        EXPECT_TRUE(connection->closed_within(15000));
}

TEST_F(HttpFrontTest, BodiesAndHeadsOutsideTheLimitsAreRefused) {
    std::string chunked_mib;
    for (int i = 0; i < 256; ++i)
        chunked_mib += "1000\r\n" + std::string(4096, 'a') + "\r\n";
    std::string many_headers;
    for (int i = 0; i < 100; ++i)
        many_headers += "X-" + std::to_string(i) + ": y\r\n";
    const std::string head = "POST / HTTP/1.1\r\nHost: " + m_host + "\r\n";
    struct Case {
        const char* name;
        std::string request;
        int status;
    };
    const Case cases[] = {
        {"gzip body", head + "Content-Encoding: gzip\r\nContent-Length: 3\r\n\r\n\x1f\x8b\x08",
         415},
        {"deflate body", head + "Content-Encoding: deflate\r\nContent-Length: 2\r\n\r\nxx", 415},
        {"two equal lengths", head + "Content-Length: 7\r\nContent-Length: 7\r\n\r\ninput=a", 400},
        {"two lengths", head + "Content-Length: 7\r\nContent-Length: 70\r\n\r\ninput=a", 400},
        {"length and chunked",
         head + "Content-Length: 5\r\nTransfer-Encoding: chunked\r\n\r\n7\r\ninput=a\r\n0\r\n\r\n",
         400},
        {"chunked 1 MiB", head + "Transfer-Encoding: chunked\r\n\r\n" + chunked_mib + "0\r\n\r\n",
         413},
        {"announced 1 MiB", head + "Content-Length: 1048576\r\n\r\ninput=", 413},
        {"100 headers", "GET / HTTP/1.1\r\nHost: " + m_host + "\r\n" + many_headers + "\r\n", 431},
        {"a 40 KiB header",
         "GET / HTTP/1.1\r\nHost: " + m_host + "\r\nX-A: " + std::string(40960, 'a') + "\r\n\r\n",
         431},
        {"small chunked search",
         head + "Transfer-Encoding: chunked\r\n\r\n6\r\ninput=\r\n5\r\nalpha\r\n0\r\n\r\n", 200},
    };
    for (const Case& c : cases)
        EXPECT_EQ(raw_exchange(port(), c.request).status, c.status) << c.name;
    EXPECT_EQ(raw_exchange(port(), search()).status, 200);
}

TEST_F(HttpFrontTest, PipelinedRequestsAreAnsweredInOrder) {
    RawConnection connection(port());
    connection.send(search() + "GET /nothing HTTP/1.1\r\nHost: " + m_host + "\r\n\r\n" +
                    "GET / HTTP/1.1\r\nHost: " + m_host + "\r\n\r\n");
    auto answers = connection.read_answers(3);
    ASSERT_EQ(answers.size(), 3u);
    EXPECT_EQ(answers[0].status, 200);
    EXPECT_NE(answers[0].body.find("Alpha"), std::string::npos);
    EXPECT_EQ(answers[1].status, 404);
    EXPECT_EQ(answers[2].status, 200);
    EXPECT_NE(answers[2].body.find("<html>"), std::string::npos);
}

// A page on another site that rebinds its name to this machine must not read the catalogue,
// and no Host a client sends is written into a song's address unless it names this service.
TEST_F(HttpFrontTest, OnlyHostsThatNameThisServiceAreAnswered) {
    const std::string port_text = std::to_string(port());
    struct Case {
        std::string host_line;
        int status;
        std::string url_start;
    };
    const Case cases[] = {
        {"Host: 127.0.0.1:" + port_text + "\r\n", 200, "http://127.0.0.1:" + port_text + "/song/"},
        {"Host: localhost:" + port_text + "\r\n", 200, "http://localhost:" + port_text + "/song/"},
        {"Host: LocalHost.:" + port_text + "\r\n", 200, "http://LocalHost.:" + port_text},
        {"Host: [::1]:" + port_text + "\r\n", 200, "http://[::1]:" + port_text + "/song/"},
        {"Host: evil.example:" + port_text + "\r\n", 421, ""},
        {"Host: 127.0.0.1:" + std::to_string(port() == 1 ? 2 : 1) + "\r\n", 421, ""},
        {"Host: 127.0.0.1\r\n", 421, ""},
        {"Host: 127.0.0.1:" + port_text + "@evil.example\r\n", 421, ""},
        {"Host: a\"><script>:" + port_text + "\r\n", 421, ""},
    };
    for (const Case& c : cases) {
        RawAnswer answer = raw_exchange(port(), search(c.host_line));
        EXPECT_EQ(answer.status, c.status) << c.host_line;
        EXPECT_EQ(answer.body.find("evil"), std::string::npos);
        if (!c.url_start.empty()) {
            EXPECT_NE(answer.body.find("\"url\":\"" + c.url_start), std::string::npos)
                << answer.body;
        }
    }
    // An HTTP/1.0 client without a Host gets the address it connected to.
    RawAnswer old_client =
        raw_exchange(port(), "POST / HTTP/1.0\r\nContent-Length: 11\r\n\r\ninput=alpha");
    EXPECT_NE(old_client.body.find("\"url\":\"http://127.0.0.1:" + port_text + "/song/"),
              std::string::npos);
}

}  // namespace
}  // namespace wavlon::testing
