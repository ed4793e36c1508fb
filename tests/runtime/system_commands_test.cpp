#include "runtime/system_commands.h"

#include <gtest/gtest.h>

#include <ctime>
#include <vector>

#include "platform/dialogs.h"
#include "platform/network_check.h"
#include "platform/power.h"
#include "runtime/conversions.h"
#include "runtime/message_loop.h"
#ifndef _WIN32
#include "support/local_http_server.h"
#include "support/qt_app.h"
#endif

namespace wavlon::runtime {
namespace {

using platform::DialogButton;

// Answers for the user and remembers what was asked.
class AnsweringDialogs final : public platform::DialogBackend {
public:
    AnsweringDialogs() : m_previous(platform::set_dialog_backend(this)) {}
    ~AnsweringDialogs() override { platform::set_dialog_backend(m_previous); }

    DialogButton message_box(const platform::MessageBoxRequest& request) override {
        boxes.push_back(request);
        return button;
    }
    std::string browse_for_folder(const platform::FolderRequest& request) override {
        folders.push_back(request);
        return chosen_folder;
    }

    DialogButton button = DialogButton::Ok;
    std::string chosen_folder;
    std::vector<platform::MessageBoxRequest> boxes;
    std::vector<platform::FolderRequest> folders;

private:
    platform::DialogBackend* m_previous;
};

TEST(MessageBox, ShowsValueAsTextWithDefaultCaptionAndTaskModal) {
    struct Case {
        Value message;
        std::int32_t flags;
        std::optional<Text> caption;
        std::string text;
        std::string shown_caption;
        std::uint32_t shown_flags;
    } cases[] = {
        {Value::text("请检测网络通讯连接是否正常"_gb), 0, std::nullopt,
         "请检测网络通讯连接是否正常", "信息：", 0x2000},
        {Value::logical(true), 0x21, "标题"_gb, "真", "标题", 0x2021},
        {Value::real(1.5), 0x1000, std::nullopt, "1.5", "信息：", 0x1000},
        {Value::date_time(date_time_from_parts(2024, 5, 6, 0, 0, 0)), 0, "", "2024年5月6日", "",
         0x2000},
        {Value::integer(-7), 0x3004, std::nullopt, "-7", "信息：", 0x3004},
    };
    for (const Case& c : cases) {
        AnsweringDialogs dialogs;
        EXPECT_EQ(message_box(c.message, c.flags, c.caption, 42), 0);
        ASSERT_EQ(dialogs.boxes.size(), 1u);
        EXPECT_EQ(dialogs.boxes[0].text, c.text);
        EXPECT_EQ(dialogs.boxes[0].caption, c.shown_caption);
        EXPECT_EQ(dialogs.boxes[0].flags, c.shown_flags) << c.text;
        EXPECT_EQ(dialogs.boxes[0].owner, 42u);
    }
}

TEST(MessageBox, ReturnsCodeOfPressedButton) {
    AnsweringDialogs dialogs;
    for (auto [button, code] : {std::pair{DialogButton::Cancel, 1},
                                {DialogButton::Ok, 0},
                                {DialogButton::Retry, 3},
                                {DialogButton::No, 6}}) {
        dialogs.button = button;
        EXPECT_EQ(message_box(Value::text("?"), platform::kMessageBoxOkCancel), code);
    }
}

TEST(BrowseForFolder, ReturnsChosenPathOrEmptyOnCancel) {
    AnsweringDialogs dialogs;
    EXPECT_EQ(browse_for_folder("请选择音乐文件存放目录"_gb), "");
    dialogs.chosen_folder = "/home/用户/音乐";
    EXPECT_EQ(browse_for_folder("标题"_gb, true), "/home/用户/音乐"_gb);
    ASSERT_EQ(dialogs.folders.size(), 2u);
    EXPECT_EQ(dialogs.folders[0].title, "请选择音乐文件存放目录");
    EXPECT_FALSE(dialogs.folders[0].include_files);
    EXPECT_TRUE(dialogs.folders[1].include_files);
}

class FakePower final : public platform::PowerBackend {
public:
    FakePower() : m_previous(platform::set_power_backend(this)) {}
    ~FakePower() override { platform::set_power_backend(m_previous); }
    bool request(platform::PowerRequest what, bool force) override {
        requests.emplace_back(static_cast<int>(what), force);
        return accept;
    }
    bool accept = true;
    std::vector<std::pair<int, bool>> requests;

private:
    platform::PowerBackend* m_previous;
};

TEST(ShutDownSystem, PassesModesOneToFiveAndRefusesOthers) {
    FakePower power;
    for (int mode : {0, -1, 6, 100}) {
        EXPECT_FALSE(shut_down_system(mode));
    }
    EXPECT_TRUE(power.requests.empty());

    for (int mode = 1; mode <= 5; ++mode) {
        EXPECT_TRUE(shut_down_system(mode, mode == 2));
    }
    power.accept = false;
    EXPECT_FALSE(shut_down_system(1));
    EXPECT_EQ(power.requests,
              (std::vector<std::pair<int, bool>>{
                  {1, false}, {2, true}, {3, false}, {4, false}, {5, false}, {1, false}}));
}

// Seconds east of UTC at `t`.
long utc_offset(std::time_t t) {
#ifdef _WIN32
    std::tm utc{};
    ::gmtime_s(&utc, &t);
    utc.tm_isdst = -1;
    return static_cast<long>(t - std::mktime(&utc));
#else
    std::tm local{};
    ::localtime_r(&t, &local);
    return local.tm_gmtoff;
#endif
}

TEST(Now, IsTheLocalTime) {
    std::time_t before = std::time(nullptr);
    DateTime value = now();
    std::time_t after = std::time(nullptr);
    const long offset = utc_offset(before);
    // Days since 30 December 1899 from the Unix epoch (day 25569) and the zone's offset.
    auto days_of = [&](std::time_t t) {
        return static_cast<double>(t + offset) / 86400.0 + 25569.0;
    };
    EXPECT_GE(value.days, days_of(before) - 1e-9);
    EXPECT_LE(value.days, days_of(after) + 1e-9);
}

TEST(ProcessEvents, RunsWaitingWork) {
    process_events();  // harmless before the application exists
#ifndef _WIN32
    testing::qt_application();
#endif
    bool ran = false;
    ASSERT_TRUE(post_to_message_loop([&] { ran = true; }));
    process_events();
    EXPECT_TRUE(ran);
}

#ifndef _WIN32
// On Windows the check is WinINet's, tested with the network check itself.
TEST(NetworkAvailable, AsksTheCheckPage) {
    testing::LocalHttpServer server(
        [](const testing::HttpRequest&) { return testing::HttpReply::ok("ok"); });
    platform::set_network_check_url(server.url());
    bool up = network_available();
    platform::set_network_check_url(
        "http://127.0.0.1:" + std::to_string(testing::LocalHttpServer::refused_port()) + "/");
    bool down = network_available();
    platform::set_network_check_url("");
    EXPECT_TRUE(up);
    EXPECT_FALSE(down);
}
#endif

}  // namespace
}  // namespace wavlon::runtime
