// The media-player service on a private session bus, driven by a real D-Bus client, with the
// program's real window offscreen and its sound going to the fixture's null sink.
#include "app/mpris_service.h"

#include <QApplication>
#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusPendingReply>
#include <QUrl>

#include <gtest/gtest.h>

#include <memory>

#include "app/main_window_units.h"
#include "app/window_activation.h"
#include "player/window_units.h"
#include "support/main_window_driver.h"
#include "support/mp3_fixtures.h"
#include "support/private_bus.h"
#include "support/pulse_server.h"
#include "support/qt_app.h"

namespace wavlon::testing {

// Records the PropertiesChanged signals of the player interface.
class ChangeRecorder final : public QObject {
    Q_OBJECT
public:
    std::vector<QVariantMap> changes;
    std::vector<qlonglong> seeks;

public Q_SLOTS:
    void on_seeked(qlonglong position) { seeks.push_back(position); }
    void on_changed(const QString& interface, const QVariantMap& changed, const QStringList&) {
        if (interface == QLatin1String("org.mpris.MediaPlayer2.Player")) {
            changes.push_back(changed);
        }
    }
};

namespace {

namespace u = units;
using runtime::gbk_to_utf8;

const QString kPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString kRoot = QStringLiteral("org.mpris.MediaPlayer2");
constexpr std::int32_t kPlaying = 1, kPaused = 3;

int g_connection_number = 0;

// Metadata arrives as a D-Bus argument; this turns it into plain values.
QVariantMap plain_map(const QVariant& value) {
    if (value.canConvert<QDBusArgument>()) {
        QVariantMap map;
        value.value<QDBusArgument>() >> map;
        return map;
    }
    return value.toMap();
}

class MediaKeys : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        const std::string number = std::to_string(++g_connection_number);
        const QString address = QString::fromStdString(m_bus.address());
        m_service_bus = QStringLiteral("wavlon-") + QString::fromStdString(number);
        m_client_bus = QStringLiteral("client-") + QString::fromStdString(number);
        m_client =
            std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(address, m_client_bus));
        ASSERT_TRUE(m_client->isConnected());
    }
    void TearDown() override {
        m_service.reset();
        m_client.reset();
        QDBusConnection::disconnectFromBus(m_service_bus);
        QDBusConnection::disconnectFromBus(m_client_bus);
        MainWindowTest::TearDown();
    }

    // The window with these tracks stored, and the service on the bus.
    std::string start_with(const std::vector<std::string>& files, Mp3Kind kind) {
        const std::string folder = make_folder("music", files, mp3_file(kind));
        store_folder(folder);
        start();
        start_service();
        return folder;
    }
    void start_service() {
        m_service = std::make_unique<app::MprisService>(
            QDBusConnection::connectToBus(QString::fromStdString(m_bus.address()), m_service_bus));
        ASSERT_TRUE(m_service->start());
        ASSERT_TRUE(m_client->connect(m_service->service_name(), kPath,
                                      QStringLiteral("org.freedesktop.DBus.Properties"),
                                      QStringLiteral("PropertiesChanged"), &m_recorder,
                                      SLOT(on_changed(QString, QVariantMap, QStringList))));
    }

    // Calls a method the way a desktop applet does and waits for the answer.
    QDBusMessage call(const QString& interface, const QString& method,
                      const QVariantList& arguments = {}) {
        QDBusMessage message =
            QDBusMessage::createMethodCall(m_service->service_name(), kPath, interface, method);
        message.setArguments(arguments);
        QDBusPendingCall pending = m_client->asyncCall(message, 5000);
        EXPECT_TRUE(wait_until([&] { return pending.isFinished(); }));
        return pending.reply();
    }
    QDBusMessage transport(const char* method) {
        return call(kPlayer, QString::fromLatin1(method));
    }
    QVariant property(const QString& interface, const char* name) {
        const QDBusMessage reply =
            call(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                 {interface, QString::fromLatin1(name)});
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
            ADD_FAILURE() << name << ": " << reply.errorMessage().toStdString();
            return {};
        }
        return reply.arguments().first().value<QDBusVariant>().variant();
    }
    std::string status() { return property(kPlayer, "PlaybackStatus").toString().toStdString(); }
    QVariantMap metadata() { return plain_map(property(kPlayer, "Metadata")); }
    // True once a PropertiesChanged signal carried `name` with `value`.
    bool announced(const char* name, const QVariant& value) {
        return wait_until([&] {
            for (const QVariantMap& change : m_recorder.changes) {
                auto it = change.find(QString::fromLatin1(name));
                if (it != change.end() && it.value() == value) {
                    return true;
                }
            }
            return false;
        });
    }

    static std::string play_button() {
        return gbk_to_utf8(player::text_of(u::按钮2, u::ButtonUnit::kCaption));
    }
    static std::string window_caption() {
        return gbk_to_utf8(player::text_of(u::启动窗口, u::WindowUnit::kCaption));
    }
    static std::int32_t state() { return player::media_player().get_state(); }
    static std::int32_t selection() { return u::列表框1->selection(); }

    PrivateBus m_bus;
    QString m_service_bus;
    QString m_client_bus;
    std::unique_ptr<QDBusConnection> m_client;
    std::unique_ptr<app::MprisService> m_service;
    ChangeRecorder m_recorder;
};

TEST_F(MediaKeys, PlayPauseTogglesTheCaptionAndTheSinkStream) {
    start_with({"a.mp3"}, Mp3Kind::CbrNoTag);
    click_item(0);
    ASSERT_TRUE(wait_until([&] { return own_sink_inputs_corked() == std::vector<bool>{false}; }));
    ASSERT_TRUE(wait_until([&] { return status() == "Playing"; }));

    transport("PlayPause");
    EXPECT_EQ(play_button(), "继 续");
    EXPECT_EQ(window_caption(), "暂停播放：a");
    EXPECT_EQ(state(), kPaused);
    EXPECT_TRUE(wait_until([&] { return own_sink_inputs_corked() == std::vector<bool>{true}; }));
    EXPECT_EQ(status(), "Paused");
    EXPECT_TRUE(announced("PlaybackStatus", QStringLiteral("Paused")));

    transport("PlayPause");
    EXPECT_EQ(play_button(), "暂 停");
    EXPECT_EQ(window_caption(), "正在播放：a");
    EXPECT_EQ(state(), kPlaying);
    EXPECT_TRUE(wait_until([&] { return own_sink_inputs_corked() == std::vector<bool>{false}; }));
    EXPECT_TRUE(announced("PlaybackStatus", QStringLiteral("Playing")));
}

TEST_F(MediaKeys, NextAndPreviousWrapLikeTheButtonsAndMetadataFollows) {
    const std::string folder = start_with({"a.mp3", "b.mp3", "c.mp3"}, Mp3Kind::Short);
    click_item(2);
    ASSERT_TRUE(wait_until([&] { return property(kPlayer, "CanGoNext").toBool(); }));
    struct Step {
        const char* method;
        int selected;
        const char* name;
    };
    const Step steps[] = {{"Next", 0, "a"}, {"Previous", 2, "c"}, {"Previous", 1, "b"}};
    for (const Step& step : steps) {
        SCOPED_TRACE(step.method);
        transport(step.method);
        EXPECT_EQ(selection(), step.selected);
        EXPECT_EQ(window_caption(), std::string("正在播放：") + step.name);
        EXPECT_EQ(play_button(), "暂 停");
        const QVariantMap data = metadata();
        const QString file = QString::fromStdString(folder + "/" + step.name + ".mp3");
        EXPECT_EQ(data.value(QStringLiteral("xesam:title")).toString().toStdString(), step.name);
        EXPECT_EQ(data.value(QStringLiteral("xesam:url")).toString().toStdString(),
                  QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded).toStdString());
        EXPECT_EQ(data.value(QStringLiteral("mpris:length")).toLongLong(),
                  qlonglong{player::media_player().get_length()} * 1000);
        EXPECT_GT(data.value(QStringLiteral("mpris:length")).toLongLong(), 2'000'000);
        EXPECT_TRUE(data.value(QStringLiteral("mpris:trackid")).canConvert<QDBusObjectPath>());
        EXPECT_TRUE(wait_until([&] {
            for (const QVariantMap& change : m_recorder.changes) {
                if (plain_map(change.value(QStringLiteral("Metadata")))
                        .value(QStringLiteral("xesam:title")) == QString::fromLatin1(step.name)) {
                    return true;
                }
            }
            return false;
        }));
    }
}

TEST_F(MediaKeys, DisabledTransportIgnoresEveryCall) {
    start_with({"a.mp3", "b.mp3"}, Mp3Kind::Short);
    ASSERT_TRUE(wait_until([&] { return !enabled("按钮2") && !enabled("按钮5"); }));
    EXPECT_FALSE(property(kPlayer, "CanPause").toBool());
    EXPECT_FALSE(property(kPlayer, "CanSeek").toBool());
    EXPECT_FALSE(property(kPlayer, "CanGoNext").toBool());
    EXPECT_FALSE(property(kPlayer, "CanGoPrevious").toBool());
    EXPECT_TRUE(property(kPlayer, "CanControl").toBool());
    EXPECT_EQ(metadata().keys(), QStringList{QStringLiteral("mpris:trackid")});
    for (const char* method : {"Pause", "Stop", "Next", "Previous"}) {
        SCOPED_TRACE(method);
        EXPECT_EQ(transport(method).type(), QDBusMessage::ReplyMessage);
        EXPECT_EQ(play_button(), "播 放");
        EXPECT_EQ(window_caption(), "Wavlon");
        EXPECT_EQ(selection(), -1);
        EXPECT_EQ(status(), "Stopped");
    }
    EXPECT_TRUE(own_sink_inputs_corked().empty());
}

// With nothing chosen yet, Play (and the media key's PlayPause) plays the selected track, or
// else the first, as a click on it would.
TEST_F(MediaKeys, PlayWithNothingChosenPlaysTheSelectedOrFirstTrack) {
    const std::string folder = start_with({"a.mp3", "b.mp3"}, Mp3Kind::Short);
    EXPECT_TRUE(property(kPlayer, "CanPlay").toBool());
    struct Case {
        const char* method;
        int selected;  // before the call; -1 for none
        const char* name;
    };
    for (const Case& c : {Case{"Play", -1, "a"}, Case{"PlayPause", 1, "b"}}) {
        SCOPED_TRACE(c.method);
        m_dialogs.folders.push_back(folder);
        click("按钮1");  // no track current again
        u::列表框1->select_item(c.selected);
        transport(c.method);
        EXPECT_EQ(selection(), c.selected < 0 ? 0 : c.selected);
        EXPECT_EQ(state(), kPlaying);
        EXPECT_EQ(window_caption(), std::string("正在播放：") + c.name);
        EXPECT_EQ(play_button(), "暂 停");
        EXPECT_TRUE(
            wait_until([&] { return own_sink_inputs_corked() == std::vector<bool>{false}; }));
    }
}

// The panel's seek bar: SetPosition and Seek go through the progress slider's routine, and
// every seek, also one made in the window, is announced.
TEST_F(MediaKeys, SeeksMoveThePlaybackAndAreAnnounced) {
    start_with({"long.mp3", "next.mp3"}, Mp3Kind::Long);
    ASSERT_TRUE(m_client->connect(m_service->service_name(), kPath, kPlayer,
                                  QStringLiteral("Seeked"), &m_recorder,
                                  SLOT(on_seeked(qlonglong))));
    click_item(0);
    ASSERT_TRUE(wait_until([&] { return property(kPlayer, "CanSeek").toBool(); }));
    const QString track =
        metadata().value(QStringLiteral("mpris:trackid")).value<QDBusObjectPath>().path();

    call(kPlayer, QStringLiteral("SetPosition"),
         {QVariant::fromValue(QDBusObjectPath(track)), qlonglong{20'000'000}});
    EXPECT_EQ(player::integer_of(u::滑块条1, u::SliderBarUnit::kPosition), 20);
    EXPECT_GE(player::media_player().get_position(), 20000);
    EXPECT_LT(player::media_player().get_position(), 21500);
    transport("Pause");
    call(kPlayer, QStringLiteral("Seek"), {qlonglong{5'000'000}});
    EXPECT_GE(player::media_player().get_position(), 25000);
    EXPECT_EQ(state(), kPlaying);  // the slider's routine plays on from the new point
    // A stale track id, a position past the end: nothing moves.
    const std::int32_t before = player::media_player().get_position();
    call(kPlayer, QStringLiteral("SetPosition"),
         {QVariant::fromValue(QDBusObjectPath(QStringLiteral("/org/wavlon/Wavlon/Track/999"))),
          qlonglong{1'000'000}});
    call(kPlayer, QStringLiteral("SetPosition"),
         {QVariant::fromValue(QDBusObjectPath(track)), qlonglong{3'600'000'000}});
    EXPECT_GE(player::media_player().get_position(), before);
    drag_slider("滑块条1", 100);  // the user, in the window
    EXPECT_TRUE(wait_until([&] { return m_recorder.seeks.size() == 3; }));
    ASSERT_EQ(m_recorder.seeks.size(), 3u);
    EXPECT_GE(m_recorder.seeks[0], 20'000'000);
    EXPECT_GE(m_recorder.seeks[2], 100'000'000);
    // Past the end is what Next does.
    call(kPlayer, QStringLiteral("Seek"), {qlonglong{3'600'000'000}});
    EXPECT_EQ(selection(), 1);
}

// The panel's volume is the volume slider: set from the bus it moves the system volume, and
// a move in the window is announced.
TEST_F(MediaKeys, VolumeIsTheVolumeSlider) {
    DefaultSinkGuard keep;
    start_with({"a.mp3"}, Mp3Kind::Short);
    call(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"),
         {kPlayer, QStringLiteral("Volume"), QVariant::fromValue(QDBusVariant(0.3))});
    EXPECT_EQ(volume_percents(pactl("get-sink-volume @DEFAULT_SINK@")), (std::vector<int>{30, 30}));
    EXPECT_NEAR(property(kPlayer, "Volume").toDouble(), 0.3, 0.001);
    const std::int32_t range = player::integer_of(u::滑块条2, u::SliderBarUnit::kMaximum);
    drag_slider("滑块条2", range / 2);
    EXPECT_TRUE(announced("Volume", double(range / 2) / range));
    EXPECT_EQ(volume_percents(pactl("get-sink-volume @DEFAULT_SINK@")), (std::vector<int>{50, 50}));
}

// OpenUri does what "Open with" does; the root interface says what it takes.
TEST_F(MediaKeys, OpenUriPlaysALocalFile) {
    start_with({"a.mp3"}, Mp3Kind::Short);
    const std::string other = make_folder("other", {"x.mp3", "y.mp3"}, mp3_file(Mp3Kind::Short));
    EXPECT_EQ(property(kRoot, "SupportedUriSchemes").toStringList(), QStringList{"file"});
    EXPECT_EQ(property(kRoot, "SupportedMimeTypes").toStringList(), QStringList{"audio/mpeg"});
    call(kPlayer, QStringLiteral("OpenUri"), {QStringLiteral("http://127.0.0.1:9/z.mp3")});
    EXPECT_NE(state(), kPlaying);
    call(kPlayer, QStringLiteral("OpenUri"),
         {QUrl::fromLocalFile(QString::fromStdString(other + "/y.mp3")).toString()});
    EXPECT_EQ(state(), kPlaying);
    EXPECT_EQ(window_caption(), "正在播放：y");
    EXPECT_EQ(u::列表框1->item_count(), 2);
    EXPECT_EQ(selection(), 1);
}

TEST_F(MediaKeys, PlayAndPauseOnlyActWhenTheyChangeSomethingAndStopStops) {
    start_with({"a.mp3"}, Mp3Kind::CbrNoTag);
    click_item(0);
    ASSERT_TRUE(wait_until([&] { return property(kPlayer, "CanPlay").toBool(); }));
    struct Step {
        const char* method;
        const char* status;
        const char* button;
    };
    const Step steps[] = {
        {"Play", "Playing", "暂 停"}, {"Pause", "Paused", "继 续"}, {"Pause", "Paused", "继 续"},
        {"Play", "Playing", "暂 停"}, {"Stop", "Stopped", "播 放"}, {"Pause", "Stopped", "播 放"},
        {"Play", "Playing", "暂 停"},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.method);
        transport(step.method);
        EXPECT_EQ(status(), step.status);
        EXPECT_EQ(play_button(), step.button);
    }
}

TEST_F(MediaKeys, RootInterfaceNamesThePlayerAndQuitClosesTheWindow) {
    start_with({"a.mp3"}, Mp3Kind::Short);
    EXPECT_EQ(m_service->service_name().toStdString(), "org.mpris.MediaPlayer2.wavlon");
    EXPECT_EQ(property(kRoot, "Identity").toString().toStdString(), "Wavlon");
    EXPECT_EQ(property(kRoot, "DesktopEntry").toString().toStdString(), WAVLON_APP_ID);
    EXPECT_TRUE(property(kRoot, "CanRaise").toBool());
    EXPECT_TRUE(property(kRoot, "CanQuit").toBool());
    EXPECT_EQ(call(kRoot, QStringLiteral("Raise")).type(), QDBusMessage::ReplyMessage);
    EXPECT_TRUE(app::main_window_ready());
    EXPECT_EQ(call(kRoot, QStringLiteral("Quit")).type(), QDBusMessage::ReplyMessage);
    EXPECT_TRUE(wait_until([] { return !app::main_window_ready(); }));
    EXPECT_EQ(status(), "Stopped");
    EXPECT_EQ(transport("Next").type(), QDBusMessage::ReplyMessage);  // nothing left to drive
}

TEST_F(MediaKeys, APlayerOnAnotherDisplayTakesAnInstanceName) {
    start_with({"a.mp3"}, Mp3Kind::Short);
    app::MprisService other(QDBusConnection::connectToBus(
        QString::fromStdString(m_bus.address()), m_service_bus + QStringLiteral("-other")));
    ASSERT_TRUE(other.start());
    EXPECT_EQ(other.service_name().toStdString(),
              "org.mpris.MediaPlayer2.wavlon.instance" + std::to_string(::getpid()));
    EXPECT_TRUE(m_client->interface()->isServiceRegistered(m_service->service_name()));
}

TEST_F(MediaKeys, WithoutABusThePlayerRunsOnSilently) {
    start();
    app::MprisService service(
        QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"), "no-bus"));
    EXPECT_FALSE(service.start());
    EXPECT_TRUE(service.service_name().isEmpty());
    QDBusConnection::disconnectFromBus(QStringLiteral("no-bus"));
}

}  // namespace
}  // namespace wavlon::testing

#include "mpris_test.moc"
