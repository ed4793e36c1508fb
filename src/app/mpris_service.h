// The player on the session bus as an MPRIS media player, so that media keys and the desktop's
// sound applets can drive it.
//
// Object /org/mpris/MediaPlayer2 with the interfaces org.mpris.MediaPlayer2 and
// org.mpris.MediaPlayer2.Player, under the name org.mpris.MediaPlayer2.wavlon (or
// org.mpris.MediaPlayer2.wavlon.instance<pid> when a player on another display holds it).
//
// The transport methods call the playback model (player/playback.h) as the buttons they stand
// for do: PlayPause, Play and Pause as 按钮2 (Play only when not playing, Pause only while
// playing), Stop as 按钮3, Previous as 按钮4, Next as 按钮5; each only while its button is
// enabled and no modal dialog is open, just as a user could click it. With no track current,
// Play and PlayPause pick the selected item of 列表框1, or else its first, as a click on it
// would. Seek and SetPosition move the progress slider 滑块条1 and play on from there (whole
// seconds, as the slider holds them); Volume is the volume slider 滑块条2 (0..1 of its range),
// and setting it runs the slider's routine, which sets the system volume. OpenUri plays a
// file:// URI's file or folder as the command line does.
//
// The properties are read from the playback model (state, current track, its name, what the
// device opened, length and position), the enabled buttons and the volume slider. They are
// re-read when a client asks, after every call, and after event routines (at most every
// 250 ms, so the window's own timers carry it: no timer of its own); what changed is announced
// with org.freedesktop.DBus.Properties.PropertiesChanged, and every seek, from the window or
// the bus, with Seeked.
//
// User-interface thread only.
#pragma once

#include <chrono>
#include <functional>

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariantMap>

namespace wavlon::app {

// What the bus sees of the player at one moment.
struct MprisState {
    QString playback_status = QStringLiteral("Stopped");  // "Playing", "Paused", "Stopped"
    bool can_play = false;                                // 按钮2 usable, or a track to pick
    bool can_pause = false;                               // 按钮2 usable
    bool can_stop = false;                                // 按钮3 usable
    bool can_go_previous = false;
    bool can_go_next = false;
    bool has_track = false;  // 编辑框2 holds a location
    QString title;           // 编辑框1
    QString url;             // what 媒体播放1 opened last, as a URI (file:// for a path)
    qlonglong length_us = 0;
    bool can_seek = false;  // a track with a known length is open
    double volume = 0;      // 滑块条2's position in its range, 0..1
    friend bool operator==(const MprisState&, const MprisState&) = default;
};

// Reads the state from the main window; everything off while the window is not loaded.
MprisState read_mpris_state();

class MprisService final : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kObjectPath = "/org/mpris/MediaPlayer2";
    static constexpr const char* kServiceName = "org.mpris.MediaPlayer2.wavlon";

    // `bus`: the session bus (tests pass a private one).
    explicit MprisService(QDBusConnection bus, QObject* parent = nullptr);
    ~MprisService() override;

    // Registers the object and takes the name. False, leaving nothing behind, when the bus is
    // not connected or refuses both names: the player then runs without.
    bool start();
    QString service_name() const { return m_service_name; }

    const MprisState& state() const { return m_state; }
    QVariantMap metadata() const;
    // The position in the current track, in microseconds (0 without one).
    qlonglong position_us() const;

    void play_pause();
    void play();
    void pause();
    void stop();
    void next();
    void previous();
    // Relative and absolute seeks, in microseconds; SetPosition only for the current track.
    void seek(qlonglong offset_us);
    void set_position(const QString& track_id, qlonglong position_us);
    void set_volume(double volume);
    void open_uri(const QString& uri);
    // The current track's id in Metadata (mpris:trackid).
    QString track_id() const;

    // Reads the state again and announces the properties that changed.
    void refresh();

private:
    // Runs `action` on the player when `usable`, then announces what changed.
    void act_if(bool usable, const std::function<void()>& action);
    // Plays the selected or first list item when no track is current; false when there is
    // none or the window cannot take it now.
    bool pick_track();
    void seek_to_second(qlonglong seconds);
    void announce_seek();

    QDBusConnection m_bus;
    QString m_service_name;
    std::chrono::steady_clock::time_point m_last_refresh;
    MprisState m_state;
    quint64 m_track_number = 0;
};

}  // namespace wavlon::app
