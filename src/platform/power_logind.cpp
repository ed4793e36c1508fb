#include "platform/power_logind.h"

#include <unistd.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QString>
#include <QVariant>

#include <atomic>
#include <cstdlib>

namespace wavlon::platform {
namespace {

constexpr int kCallTimeoutMs = 2000;
const QString kService = QStringLiteral("org.freedesktop.login1");
const QString kManagerPath = QStringLiteral("/org/freedesktop/login1");
const QString kManager = QStringLiteral("org.freedesktop.login1.Manager");
const QString kSession = QStringLiteral("org.freedesktop.login1.Session");

std::atomic<int> g_connection_counter{0};

QDBusMessage call(QDBusConnection& bus, const QString& path, const QString& interface,
                  const QString& method, const QVariantList& arguments = {}) {
    QDBusMessage message = QDBusMessage::createMethodCall(kService, path, interface, method);
    message.setArguments(arguments);
    return bus.call(message, QDBus::Block, kCallTimeoutMs);
}

bool accepted(const QDBusMessage& reply) {
    return reply.type() == QDBusMessage::ReplyMessage;
}

// "yes" and "challenge" may go ahead (a challenge is decided by logind's policy when the
// request comes); "no", "na" and an unanswered question may not.
bool possible(QDBusConnection& bus, const QString& question) {
    QDBusMessage reply = call(bus, kManagerPath, kManager, question);
    if (!accepted(reply) || reply.arguments().isEmpty()) {
        return false;
    }
    QString answer = reply.arguments().first().toString();
    return answer != QLatin1String("no") && answer != QLatin1String("na");
}

bool end_session(QDBusConnection& bus) {
    const char* id = std::getenv("XDG_SESSION_ID");
    if (id != nullptr && *id != '\0') {
        return accepted(call(bus, kManagerPath, kManager, QStringLiteral("TerminateSession"),
                             {QString::fromUtf8(id)}));
    }
    QDBusMessage reply = call(bus, kManagerPath, kManager, QStringLiteral("GetSessionByPID"),
                              {QVariant::fromValue(static_cast<uint>(::getpid()))});
    if (!accepted(reply) || reply.arguments().isEmpty()) {
        return false;
    }
    QString path = reply.arguments().first().value<QDBusObjectPath>().path();
    return !path.isEmpty() && accepted(call(bus, path, kSession, QStringLiteral("Terminate")));
}

bool send(QDBusConnection& bus, PowerRequest what) {
    const QVariantList non_interactive{false};
    switch (what) {
        case PowerRequest::PowerOff:
            return possible(bus, QStringLiteral("CanPowerOff")) &&
                   accepted(call(bus, kManagerPath, kManager, QStringLiteral("PowerOff"),
                                 non_interactive));
        case PowerRequest::Reboot:
            return possible(bus, QStringLiteral("CanReboot")) &&
                   accepted(call(bus, kManagerPath, kManager, QStringLiteral("Reboot"),
                                 non_interactive));
        case PowerRequest::EndSession:
            return end_session(bus);
        case PowerRequest::Suspend:
            return possible(bus, QStringLiteral("CanSuspend")) &&
                   accepted(call(bus, kManagerPath, kManager, QStringLiteral("Suspend"),
                                 non_interactive));
        case PowerRequest::Hibernate:
            return possible(bus, QStringLiteral("CanHibernate")) &&
                   accepted(call(bus, kManagerPath, kManager, QStringLiteral("Hibernate"),
                                 non_interactive));
    }
    return false;
}

QString system_bus_address(const std::string& configured) {
    if (!configured.empty()) {
        return QString::fromStdString(configured);
    }
    const char* address = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
    return address != nullptr && *address != '\0'
               ? QString::fromUtf8(address)
               : QStringLiteral("unix:path=/run/dbus/system_bus_socket");
}

LogindPowerBackend g_logind;
PowerBackend* g_backend = &g_logind;

}  // namespace

LogindPowerBackend::LogindPowerBackend(std::string bus_address)
    : m_bus_address(std::move(bus_address)) {}

bool LogindPowerBackend::request(PowerRequest what, bool /*force*/) {
    int mode = static_cast<int>(what);
    if (mode < 1 || mode > 5) {
        return false;
    }
    // A private connection per request: the address is read afresh, and nothing of the bus
    // stays open between the rare requests.
    QString name = QStringLiteral("wavlon-power-%1").arg(++g_connection_counter);
    bool ok = false;
    {
        QDBusConnection bus =
            QDBusConnection::connectToBus(system_bus_address(m_bus_address), name);
        ok = bus.isConnected() && send(bus, what);
    }
    QDBusConnection::disconnectFromBus(name);
    return ok;
}

PowerBackend& power() {
    return *g_backend;
}

PowerBackend* set_power_backend(PowerBackend* backend) {
    PowerBackend* previous = g_backend == &g_logind ? nullptr : g_backend;
    g_backend = backend != nullptr ? backend : &g_logind;
    return previous;
}

}  // namespace wavlon::platform
