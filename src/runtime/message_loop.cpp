#include "runtime/message_loop.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QTimer>

#include "runtime/live_window.h"

namespace wavlon::runtime {
namespace {
bool g_running = false;
bool g_ended = false;
}  // namespace

void run_message_loop() {
    if (g_ended || !any_window_exists() || !QCoreApplication::instance()) {
        return;
    }
    // Windows come and go under the runtime's control, not Qt's.
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        QGuiApplication::setQuitOnLastWindowClosed(false);
    }
    g_running = true;
    QCoreApplication::exec();
    g_running = false;
}

bool message_loop_running() {
    return g_running;
}

bool post_to_message_loop(std::function<void()> task) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) {
        return false;
    }
    QMetaObject::invokeMethod(app, std::move(task), Qt::QueuedConnection);
    return true;
}

void process_pending_events() {
    if (QCoreApplication::instance() != nullptr) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
}

void end_message_loop() {
    g_ended = true;
    // exit() ends every loop of the thread: a modal dialog's too.
    QCoreApplication::exit(0);
}

void notify_last_window_gone() {
    if (g_running) {
        QCoreApplication::quit();
    }
}

struct LoopTimer::State {
    QTimer timer;
};

LoopTimer::LoopTimer(std::function<void()> callback) : m_state(std::make_unique<State>()) {
    QObject::connect(&m_state->timer, &QTimer::timeout, &m_state->timer, std::move(callback));
}

LoopTimer::~LoopTimer() = default;

void LoopTimer::start(int interval_ms) {
    m_state->timer.start(interval_ms);
}

void LoopTimer::stop() {
    m_state->timer.stop();
}

bool LoopTimer::active() const {
    return m_state->timer.isActive();
}

}  // namespace wavlon::runtime
