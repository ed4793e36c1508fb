#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "platform/http_client.h"
#include "platform/media_control.h"
#include "platform/network_check.h"
#include "support/child_test.h"
#include "support/local_http_server.h"
#include "support/mp3_fixtures.h"

namespace wavlon::platform {
namespace {

bool mapped(const std::string& library) {
    std::ifstream maps("/proc/self/maps");
    std::stringstream text;
    text << maps.rdbuf();
    return text.str().find(library) != std::string::npos;
}

// A fresh process maps GStreamer with the first track opened and libcurl with the first
// request, not before; the start-up network check of a plain http page needs neither.
TEST(ModuleLoading, LibrariesComeWithTheirFirstUse) {
    if (!testing::in_test_child()) {
        const std::string output = testing::rerun_current_test("");
        EXPECT_NE(output.find("[  PASSED  ] 1 test"), std::string::npos) << output;
        return;
    }
    testing::LocalHttpServer server(
        [](const testing::HttpRequest&) { return testing::HttpReply::ok("page"); });
    ASSERT_FALSE(mapped("libgstreamer-1.0"));
    ASSERT_FALSE(mapped("libcurl"));

    EXPECT_TRUE(network_available_at(server.url("/check")));
    EXPECT_FALSE(mapped("libcurl"));

    ASSERT_TRUE(open_media("MPEGvideo", testing::mp3_file(testing::Mp3Kind::Short), "first"));
    EXPECT_TRUE(mapped("libgstreamer-1.0"));
    EXPECT_FALSE(mapped("libcurl"));
    send_media_command("close first");

    HttpClientRequest request;
    request.url = server.url("/search");
    EXPECT_EQ(http_perform(request).outcome, HttpOutcome::kOk);
    EXPECT_TRUE(mapped("libcurl"));
}

}  // namespace
}  // namespace wavlon::platform
