#include "platform/power_logind.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <QThread>

#include "support/private_bus.h"
#include "support/qt_app.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace wavlon::platform {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::PrivateBus;

struct Call {
    std::string path;
    std::string member;
    std::vector<std::string> arguments;
    friend bool operator==(const Call&, const Call&) = default;
    friend std::ostream& operator<<(std::ostream& out, const Call& c) {
        out << c.path << " " << c.member;
        for (const auto& a : c.arguments) {
            out << " " << a;
        }
        return out;
    }
};

// Stands in for logind: answers the Can* questions as told, records every call and accepts
// or refuses the requests.
class FakeLogind final : public QDBusVirtualObject {
public:
    std::map<std::string, std::string> answers;  // "CanPowerOff" -> "yes"
    bool refuse = false;

    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        Call call{message.path().toStdString(), message.member().toStdString(), {}};
        for (const QVariant& argument : message.arguments()) {
            call.arguments.push_back(argument.toString().toStdString());
        }
        {
            std::lock_guard lock(m_mutex);
            m_calls.push_back(call);
        }
        QDBusMessage reply;
        if (call.member.starts_with("Can")) {
            reply = message.createReply(QString::fromStdString(answers[call.member]));
        } else if (refuse) {
            reply =
                message.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.AccessDenied"),
                                         QStringLiteral("not allowed"));
        } else if (call.member == "GetSessionByPID") {
            reply = message.createReply(QVariant::fromValue(
                QDBusObjectPath(QStringLiteral("/org/freedesktop/login1/session/_37"))));
        } else {
            reply = message.createReply();
        }
        connection.send(reply);
        return true;
    }

    std::vector<Call> calls() {
        std::lock_guard lock(m_mutex);
        return m_calls;
    }

private:
    std::mutex m_mutex;
    std::vector<Call> m_calls;
};

// The fake service on the private bus, served from a thread of its own so that the blocking
// calls of the backend under test get their answers.
class FakeLogindService {
public:
    explicit FakeLogindService(const std::string& address) {
        testing::qt_application();  // the service's thread needs an event loop
        m_logind = new FakeLogind;
        m_bus = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(QString::fromStdString(address), "fake-logind"));
        // Registered before the move, so that what the connection attaches to the object
        // moves along with it.
        m_bus->registerVirtualObject(QStringLiteral("/org/freedesktop/login1"), m_logind,
                                     QDBusConnection::SubPath);
        m_thread.start();
        m_logind->moveToThread(&m_thread);
        m_bus->registerService(QStringLiteral("org.freedesktop.login1"));
    }
    ~FakeLogindService() {
        m_bus->unregisterObject(QStringLiteral("/org/freedesktop/login1"));
        m_bus.reset();
        QDBusConnection::disconnectFromBus("fake-logind");
        QMetaObject::invokeMethod(
            m_logind, [logind = m_logind] { delete logind; }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
    bool connected() const { return m_bus->isConnected(); }
    FakeLogind& logind() { return *m_logind; }

private:
    QThread m_thread;
    FakeLogind* m_logind = nullptr;  // lives in m_thread
    std::unique_ptr<QDBusConnection> m_bus;
};

class LogindPowerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_service.connected()); }
    PrivateBus m_bus;
    FakeLogindService m_service{m_bus.address()};
    LogindPowerBackend m_backend{m_bus.address()};
};

TEST_F(LogindPowerTest, AsksFirstThenRequestsNonInteractively) {
    struct Case {
        PowerRequest request;
        const char* question;
        const char* method;
    } cases[] = {
        {PowerRequest::PowerOff, "CanPowerOff", "PowerOff"},
        {PowerRequest::Reboot, "CanReboot", "Reboot"},
        {PowerRequest::Suspend, "CanSuspend", "Suspend"},
        {PowerRequest::Hibernate, "CanHibernate", "Hibernate"},
    };
    const std::string path = "/org/freedesktop/login1";
    for (const Case& c : cases) {
        for (const char* answer : {"yes", "challenge", "no", "na"}) {
            m_service.logind().answers[c.question] = answer;
            std::size_t before = m_service.logind().calls().size();
            bool allowed = std::string(answer) == "yes" || std::string(answer) == "challenge";

            EXPECT_EQ(m_backend.request(c.request, true), allowed) << c.method << " " << answer;
            std::vector<Call> calls = m_service.logind().calls();
            std::vector<Call> made(calls.begin() + static_cast<std::ptrdiff_t>(before),
                                   calls.end());
            std::vector<Call> expected{{path, c.question, {}}};
            if (allowed) {
                expected.push_back({path, c.method, {"false"}});
            }
            EXPECT_EQ(made, expected) << c.method << " " << answer;
        }
    }
}

TEST_F(LogindPowerTest, RefusedRequestIsFalse) {
    m_service.logind().answers["CanPowerOff"] = "yes";
    m_service.logind().refuse = true;
    EXPECT_FALSE(m_backend.request(PowerRequest::PowerOff, false));
}

TEST_F(LogindPowerTest, EndSessionTerminatesOwnSession) {
    const char* saved = std::getenv("XDG_SESSION_ID");
    std::string saved_value = saved != nullptr ? saved : "";

    ::setenv("XDG_SESSION_ID", "c7", 1);
    EXPECT_TRUE(m_backend.request(PowerRequest::EndSession, false));
    ::unsetenv("XDG_SESSION_ID");
    EXPECT_TRUE(m_backend.request(PowerRequest::EndSession, false));
    if (saved != nullptr) {
        ::setenv("XDG_SESSION_ID", saved_value.c_str(), 1);
    }

    const std::string manager = "/org/freedesktop/login1";
    EXPECT_THAT(m_service.logind().calls(),
                ElementsAre(Call{manager, "TerminateSession", {"c7"}},
                            Call{manager, "GetSessionByPID", {std::to_string(::getpid())}},
                            Call{manager + "/session/_37", "Terminate", {}}));
}

TEST_F(LogindPowerTest, DefaultBackendFollowsSystemBusVariable) {
    const char* saved = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
    std::string saved_value = saved != nullptr ? saved : "";
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", m_bus.address().c_str(), 1);
    m_service.logind().answers["CanSuspend"] = "yes";
    bool suspended = LogindPowerBackend().request(PowerRequest::Suspend, false);
    if (saved != nullptr) {
        ::setenv("DBUS_SYSTEM_BUS_ADDRESS", saved_value.c_str(), 1);
    } else {
        ::unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    }
    EXPECT_TRUE(suspended);
}

TEST(LogindPower, NoBusOrNoLogindIsFalse) {
    EXPECT_FALSE(LogindPowerBackend("unix:path=/nonexistent/wavlon-bus")
                     .request(PowerRequest::PowerOff, false));
    PrivateBus empty_bus;  // a bus where nobody provides logind
    EXPECT_FALSE(LogindPowerBackend(empty_bus.address()).request(PowerRequest::PowerOff, false));
    EXPECT_FALSE(LogindPowerBackend(empty_bus.address()).request(PowerRequest::EndSession, false));
}

TEST(LogindPower, UnknownRequestIsFalseWithoutCalls) {
    PrivateBus bus;
    FakeLogindService service(bus.address());
    EXPECT_FALSE(LogindPowerBackend(bus.address()).request(static_cast<PowerRequest>(0), false));
    EXPECT_FALSE(LogindPowerBackend(bus.address()).request(static_cast<PowerRequest>(6), false));
    EXPECT_THAT(service.logind().calls(), IsEmpty());
}

}  // namespace
}  // namespace wavlon::platform
