// One connection to the sound server, for one Mixer handle (internal to the mixer).
//
// libpulse runs in a pa_threaded_mainloop: its thread owns the socket, runs every libpulse
// callback and holds the loop lock while doing so. The caller's thread takes the lock only to
// issue a request, then waits for the answer on a condition variable of its own with a
// deadline, so a server that stops answering costs at most one bounded wait: a request that
// times out breaks the connection, and every later call fails at once.
//
// A connection that breaks stays broken: every call on it fails at once. Its Mixer learns of
// the break through MixerHooks::lost and makes a new one.
//
// Change tracking: the connection subscribes to sink, source and server events. For each
// watched control it keeps the device's last known volume or mute; an event makes the loop
// thread read the default device again and compare, and only a real difference is posted,
// as the control's id, to the QCoreApplication's thread. A write made through this connection
// updates the known value first, so the server's echo of it compares equal and is not posted.
#pragma once

#include <pulse/pulseaudio.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/mixer_types.h"

namespace wavlon::platform {

enum class MixerDeviceKind { Sink, Source };

// What a connection reports to its Mixer, on the QCoreApplication's thread.
struct MixerHooks {
    std::function<void(std::uint32_t control_id)> changed;
    std::function<void()> lost;  // the connection broke after it had stood
};

// What the server reports of one sink or source.
struct MixerDeviceState {
    std::uint32_t index = PA_INVALID_INDEX;
    std::string description;  // UTF-8
    pa_channel_map map{};
    pa_cvolume volume{};
    bool mute = false;
};

class MixerConnection {
public:
    // Connects within kMixerConnectTimeoutMs and subscribes to change events; nullptr when no
    // server answers.
    static std::unique_ptr<MixerConnection> connect(std::shared_ptr<MixerHooks> hooks);
    // Starts connecting and returns at once; ready() tells when the connection stands, alive()
    // turns false when it failed. nullptr when the attempt could not even start.
    static std::unique_ptr<MixerConnection> begin(std::shared_ptr<MixerHooks> hooks);
    ~MixerConnection();
    MixerConnection(const MixerConnection&) = delete;
    MixerConnection& operator=(const MixerConnection&) = delete;

    bool alive() const;
    bool ready() const;

    // The current default sink or source.
    std::optional<MixerDeviceState> default_device(MixerDeviceKind kind);
    bool set_volume(MixerDeviceKind kind, std::uint32_t index, const pa_cvolume& volume);
    bool set_mute(MixerDeviceKind kind, std::uint32_t index, bool mute);

    // Reports later changes of the default device's volume or mute as `control_id`, starting
    // from `now`. Watching the same id again replaces the entry.
    void watch(std::uint32_t control_id, MixerDeviceKind kind, MixerControlType type,
               const MixerDeviceState& now);
    // The same without a known value: the first value read afterwards becomes the known one
    // and is not reported.
    void watch(std::uint32_t control_id, MixerDeviceKind kind, MixerControlType type);

private:
    struct Call;
    struct Watched {
        std::uint32_t control_id = 0;
        MixerDeviceKind kind = MixerDeviceKind::Sink;
        MixerControlType type = MixerControlType::Volume;
        bool known = false;
        std::uint32_t index = PA_INVALID_INDEX;
        pa_cvolume volume{};
        bool mute = false;
    };

    explicit MixerConnection(std::shared_ptr<MixerHooks> hooks);
    // Replaces the entry of the same control, or adds it.
    void keep_watching(const Watched& entry);

    // Issues a request under the loop lock and waits for it; false on failure or time-out.
    template <typename Issue>
    bool run(Call& call, Issue issue);
    void finish(Call& call, bool success);
    void break_connection();

    static void on_state(pa_context* context, void* userdata);
    static void on_success(pa_context* context, int success, void* userdata);
    template <typename Info>
    static void on_info(pa_context* context, const Info* info, int eol, void* userdata);
    static void on_event(pa_context* context, pa_subscription_event_type_t type,
                         std::uint32_t index, void* userdata);
    template <typename Info>
    static void on_refreshed(pa_context* context, const Info* info, int eol, void* userdata);

    // Loop thread, lock held.
    void refresh(MixerDeviceKind kind, std::uint32_t index);
    void compare(MixerDeviceKind kind, const MixerDeviceState& now);
    void post(std::uint32_t control_id);
    void post_lost();
    // Runs `call` on the hooks in the application's thread, if they are still there then.
    void post_to_hooks(std::function<void(MixerHooks&)> call);
    // Either thread, lock held.
    void note_own_change(MixerDeviceKind kind, std::uint32_t index, const pa_cvolume* volume,
                         const bool* mute);
    void forget(MixerDeviceKind kind, MixerControlType type);

    pa_threaded_mainloop* m_loop = nullptr;
    pa_context* m_context = nullptr;
    std::vector<Watched> m_watched;  // guarded by the loop lock
    // Own writes so far, and for each refresh still unanswered the count when it was asked
    // (oldest first: the server answers in order). A refresh asked before an own write
    // answers with the state before it, which is no change made by another program.
    std::uint64_t m_own_writes = 0;                // guarded by the loop lock
    std::deque<std::uint64_t> m_refresh_asked_at;  // guarded by the loop lock

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_ready = false;  // guarded by m_mutex
    std::atomic<bool> m_dead{false};

    // Outlives every notification posted while the connection stood; the posted call holds
    // only a weak reference.
    std::shared_ptr<MixerHooks> m_hooks;
};

}  // namespace wavlon::platform
