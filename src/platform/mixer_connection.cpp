#include "platform/mixer_connection.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <chrono>
#include <type_traits>
#include <utility>

namespace wavlon::platform {

namespace {

constexpr const char* kDefaultSink = "@DEFAULT_SINK@";
constexpr const char* kDefaultSource = "@DEFAULT_SOURCE@";

template <typename Info>
constexpr MixerDeviceKind kind_of() {
    return std::is_same_v<Info, pa_sink_info> ? MixerDeviceKind::Sink : MixerDeviceKind::Source;
}

template <typename Info>
MixerDeviceState state_of(const Info& info) {
    MixerDeviceState state;
    state.index = info.index;
    if (info.description != nullptr) {
        state.description = info.description;
    } else if (info.name != nullptr) {
        state.description = info.name;
    }
    state.map = info.channel_map;
    state.volume = info.volume;
    state.mute = info.mute != 0;
    return state;
}

// Releases the loop lock on every path out of a scope.
class LoopLock {
public:
    explicit LoopLock(pa_threaded_mainloop* loop) : m_loop(loop) {
        pa_threaded_mainloop_lock(m_loop);
    }
    ~LoopLock() { pa_threaded_mainloop_unlock(m_loop); }
    LoopLock(const LoopLock&) = delete;
    LoopLock& operator=(const LoopLock&) = delete;

private:
    pa_threaded_mainloop* m_loop;
};

}  // namespace

// One request in flight. Written by the loop thread under the loop lock (the outcome also
// under m_mutex, to wake the waiter); read by the waiting thread once it holds the loop lock.
struct MixerConnection::Call {
    explicit Call(MixerConnection* owner) : self(owner) {}
    MixerConnection* self;
    bool finished = false;
    bool success = false;
    std::optional<MixerDeviceState> state;
};

MixerConnection::MixerConnection(std::shared_ptr<MixerHooks> hooks) : m_hooks(std::move(hooks)) {}

MixerConnection::~MixerConnection() {
    if (m_loop == nullptr) {
        return;
    }
    {
        LoopLock lock(m_loop);
        if (m_context != nullptr) {
            // Disconnecting cancels every request still in flight, so no callback reaches
            // this object afterwards.
            pa_context_set_state_callback(m_context, nullptr, nullptr);
            pa_context_set_subscribe_callback(m_context, nullptr, nullptr);
            pa_context_disconnect(m_context);
            pa_context_unref(m_context);
            m_context = nullptr;
        }
    }
    pa_threaded_mainloop_stop(m_loop);
    pa_threaded_mainloop_free(m_loop);
}

std::unique_ptr<MixerConnection> MixerConnection::begin(std::shared_ptr<MixerHooks> hooks) {
    std::unique_ptr<MixerConnection> self(new MixerConnection(std::move(hooks)));
    self->m_loop = pa_threaded_mainloop_new();
    if (self->m_loop == nullptr) {
        return nullptr;
    }
    self->m_context = pa_context_new(pa_threaded_mainloop_get_api(self->m_loop), "Wavlon");
    if (self->m_context == nullptr) {
        return nullptr;
    }
    pa_context_set_state_callback(self->m_context, &MixerConnection::on_state, self.get());
    pa_context_set_subscribe_callback(self->m_context, &MixerConnection::on_event, self.get());
    // The server address comes from PULSE_SERVER or the client configuration; a missing
    // server is an answer, never a reason to start one.
    if (pa_context_connect(self->m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        return nullptr;
    }
    if (pa_threaded_mainloop_start(self->m_loop) < 0) {
        return nullptr;
    }
    return self;
}

std::unique_ptr<MixerConnection> MixerConnection::connect(std::shared_ptr<MixerHooks> hooks) {
    std::unique_ptr<MixerConnection> self = begin(std::move(hooks));
    if (!self) {
        return nullptr;
    }
    std::unique_lock lock(self->m_mutex);
    self->m_wake.wait_for(lock, std::chrono::milliseconds(kMixerConnectTimeoutMs),
                          [&] { return self->m_ready || self->m_dead.load(); });
    if (!self->m_ready || self->m_dead.load()) {
        return nullptr;
    }
    return self;
}

bool MixerConnection::alive() const {
    return !m_dead.load();
}

bool MixerConnection::ready() const {
    std::lock_guard lock(m_mutex);
    return m_ready && !m_dead.load();
}

template <typename Issue>
bool MixerConnection::run(Call& call, Issue issue) {
    if (!alive()) {
        return false;
    }
    pa_operation* operation = nullptr;
    {
        LoopLock lock(m_loop);
        operation = issue();
    }
    if (operation == nullptr) {
        return false;
    }
    {
        std::unique_lock lock(m_mutex);
        m_wake.wait_for(lock, std::chrono::milliseconds(kMixerRequestTimeoutMs),
                        [&] { return call.finished || m_dead.load(); });
    }
    LoopLock lock(m_loop);
    if (pa_operation_get_state(operation) == PA_OPERATION_RUNNING) {
        pa_operation_cancel(operation);
    }
    pa_operation_unref(operation);
    if (!call.finished && !m_dead.load()) {
        // The server holds the connection but does not answer: give it up rather than make
        // every later call wait as long again.
        break_connection();
    }
    return call.finished && call.success;
}

void MixerConnection::finish(Call& call, bool success) {
    {
        std::lock_guard lock(m_mutex);
        call.success = success;
        call.finished = true;
    }
    m_wake.notify_all();
}

void MixerConnection::break_connection() {
    if (!m_dead.exchange(true)) {
        post_lost();
    }
    pa_context_disconnect(m_context);
}

void MixerConnection::on_state(pa_context* context, void* userdata) {
    auto* self = static_cast<MixerConnection*>(userdata);
    pa_context_state_t state = pa_context_get_state(context);
    bool lost = false;
    if (state == PA_CONTEXT_READY) {
        // Sent before any request of the caller, so no change after the first read is missed.
        auto mask = static_cast<pa_subscription_mask_t>(
            PA_SUBSCRIPTION_MASK_SINK | PA_SUBSCRIPTION_MASK_SOURCE | PA_SUBSCRIPTION_MASK_SERVER);
        if (pa_operation* operation = pa_context_subscribe(context, mask, nullptr, nullptr)) {
            pa_operation_unref(operation);
        }
    }
    {
        std::lock_guard lock(self->m_mutex);
        if (state == PA_CONTEXT_READY) {
            self->m_ready = true;
        } else if (!PA_CONTEXT_IS_GOOD(state)) {
            lost = self->m_ready && !self->m_dead.exchange(true);
            self->m_dead.store(true);
        }
    }
    self->m_wake.notify_all();
    if (lost) {
        self->post_lost();
    }
}

void MixerConnection::on_success(pa_context*, int success, void* userdata) {
    auto* call = static_cast<Call*>(userdata);
    call->self->finish(*call, success != 0);
}

template <typename Info>
void MixerConnection::on_info(pa_context*, const Info* info, int eol, void* userdata) {
    auto* call = static_cast<Call*>(userdata);
    if (eol == 0) {
        if (info != nullptr) {
            call->state = state_of(*info);
        }
        return;
    }
    call->self->finish(*call, eol > 0 && call->state.has_value());
}

std::optional<MixerDeviceState> MixerConnection::default_device(MixerDeviceKind kind) {
    Call call(this);
    bool ok = run(call, [&] {
        return kind == MixerDeviceKind::Sink
                   ? pa_context_get_sink_info_by_name(
                         m_context, kDefaultSink, &MixerConnection::on_info<pa_sink_info>, &call)
                   : pa_context_get_source_info_by_name(m_context, kDefaultSource,
                                                        &MixerConnection::on_info<pa_source_info>,
                                                        &call);
    });
    if (!ok) {
        return std::nullopt;
    }
    return call.state;
}

bool MixerConnection::set_volume(MixerDeviceKind kind, std::uint32_t index,
                                 const pa_cvolume& volume) {
    Call call(this);
    bool ok = run(call, [&] {
        note_own_change(kind, index, &volume, nullptr);
        return kind == MixerDeviceKind::Sink
                   ? pa_context_set_sink_volume_by_index(m_context, index, &volume,
                                                         &MixerConnection::on_success, &call)
                   : pa_context_set_source_volume_by_index(m_context, index, &volume,
                                                           &MixerConnection::on_success, &call);
    });
    if (!ok && alive()) {
        LoopLock lock(m_loop);
        forget(kind, MixerControlType::Volume);
    }
    return ok;
}

bool MixerConnection::set_mute(MixerDeviceKind kind, std::uint32_t index, bool mute) {
    Call call(this);
    bool ok = run(call, [&] {
        note_own_change(kind, index, nullptr, &mute);
        return kind == MixerDeviceKind::Sink
                   ? pa_context_set_sink_mute_by_index(m_context, index, mute ? 1 : 0,
                                                       &MixerConnection::on_success, &call)
                   : pa_context_set_source_mute_by_index(m_context, index, mute ? 1 : 0,
                                                         &MixerConnection::on_success, &call);
    });
    if (!ok && alive()) {
        LoopLock lock(m_loop);
        forget(kind, MixerControlType::Mute);
    }
    return ok;
}

void MixerConnection::watch(std::uint32_t control_id, MixerDeviceKind kind, MixerControlType type,
                            const MixerDeviceState& now) {
    keep_watching({control_id, kind, type, true, now.index, now.volume, now.mute});
}

void MixerConnection::watch(std::uint32_t control_id, MixerDeviceKind kind, MixerControlType type) {
    keep_watching({control_id, kind, type, false, PA_INVALID_INDEX, {}, false});
}

void MixerConnection::keep_watching(const Watched& entry) {
    LoopLock lock(m_loop);
    for (Watched& watched : m_watched) {
        if (watched.control_id == entry.control_id) {
            watched = entry;
            return;
        }
    }
    m_watched.push_back(entry);
}

void MixerConnection::on_event(pa_context*, pa_subscription_event_type_t type, std::uint32_t index,
                               void* userdata) {
    auto* self = static_cast<MixerConnection*>(userdata);
    switch (type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK) {
        case PA_SUBSCRIPTION_EVENT_SINK:
            self->refresh(MixerDeviceKind::Sink, index);
            break;
        case PA_SUBSCRIPTION_EVENT_SOURCE:
            self->refresh(MixerDeviceKind::Source, index);
            break;
        case PA_SUBSCRIPTION_EVENT_SERVER:
            // Another default device may have been chosen.
            self->refresh(MixerDeviceKind::Sink, PA_INVALID_INDEX);
            self->refresh(MixerDeviceKind::Source, PA_INVALID_INDEX);
            break;
        default:
            break;
    }
}

void MixerConnection::refresh(MixerDeviceKind kind, std::uint32_t index) {
    bool wanted = false;
    for (const Watched& watched : m_watched) {
        if (watched.kind == kind &&
            (index == PA_INVALID_INDEX || !watched.known || watched.index == index)) {
            wanted = true;
        }
    }
    if (!wanted) {
        return;
    }
    // Nothing waits for this request; disconnecting cancels it together with its callback.
    pa_operation* operation =
        kind == MixerDeviceKind::Sink
            ? pa_context_get_sink_info_by_name(m_context, kDefaultSink,
                                               &MixerConnection::on_refreshed<pa_sink_info>, this)
            : pa_context_get_source_info_by_name(
                  m_context, kDefaultSource, &MixerConnection::on_refreshed<pa_source_info>, this);
    if (operation != nullptr) {
        m_refresh_asked_at.push_back(m_own_writes);
        pa_operation_unref(operation);
    }
}

template <typename Info>
void MixerConnection::on_refreshed(pa_context*, const Info* info, int eol, void* userdata) {
    auto* self = static_cast<MixerConnection*>(userdata);
    if (self->m_refresh_asked_at.empty()) {
        return;
    }
    if (eol != 0) {
        // The answer is complete (or failed): the next one belongs to the next refresh.
        self->m_refresh_asked_at.pop_front();
        return;
    }
    // A state read before the latest own write is stale: the write's own notice brings a
    // fresh refresh.
    if (info != nullptr && self->m_refresh_asked_at.front() == self->m_own_writes) {
        self->compare(kind_of<Info>(), state_of(*info));
    }
}

void MixerConnection::compare(MixerDeviceKind kind, const MixerDeviceState& now) {
    for (Watched& watched : m_watched) {
        if (watched.kind != kind) {
            continue;
        }
        bool changed = false;
        if (watched.known) {
            changed = watched.type == MixerControlType::Volume
                          ? pa_cvolume_equal(&watched.volume, &now.volume) == 0
                          : watched.mute != now.mute;
        }
        watched.known = true;
        watched.index = now.index;
        watched.volume = now.volume;
        watched.mute = now.mute;
        if (changed) {
            post(watched.control_id);
        }
    }
}

void MixerConnection::post(std::uint32_t control_id) {
    post_to_hooks([control_id](MixerHooks& hooks) {
        if (hooks.changed) {
            hooks.changed(control_id);
        }
    });
}

void MixerConnection::post_lost() {
    post_to_hooks([](MixerHooks& hooks) {
        if (hooks.lost) {
            hooks.lost();
        }
    });
}

void MixerConnection::post_to_hooks(std::function<void(MixerHooks&)> call) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr) {
        return;
    }
    std::weak_ptr<MixerHooks> weak = m_hooks;
    QMetaObject::invokeMethod(
        app,
        [weak, call = std::move(call)] {
            if (auto hooks = weak.lock()) {
                call(*hooks);
            }
        },
        Qt::QueuedConnection);
}

void MixerConnection::note_own_change(MixerDeviceKind kind, std::uint32_t index,
                                      const pa_cvolume* volume, const bool* mute) {
    ++m_own_writes;
    for (Watched& watched : m_watched) {
        if (watched.kind != kind) {
            continue;
        }
        if (watched.type == MixerControlType::Volume && volume != nullptr) {
            watched.known = true;
            watched.index = index;
            watched.volume = *volume;
        } else if (watched.type == MixerControlType::Mute && mute != nullptr) {
            watched.known = true;
            watched.index = index;
            watched.mute = *mute;
        }
    }
}

void MixerConnection::forget(MixerDeviceKind kind, MixerControlType type) {
    for (Watched& watched : m_watched) {
        if (watched.kind == kind && watched.type == type) {
            watched.known = false;
        }
    }
}

}  // namespace wavlon::platform
