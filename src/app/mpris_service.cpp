#include "app/mpris_service.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>

#include <QDBusAbstractAdaptor>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QFile>
#include <QStringList>
#include <QUrl>

#include "app/main_window_units.h"
#include "app/transport.h"
#include "app/window_activation.h"
#include "player/playback.h"
#include "player/window_units.h"
#include "runtime/event_dispatch.h"
#include "unit_look.h"

namespace wavlon::app {
namespace {

namespace u = units;
using player::playback;
using player::PlayState;

// Properties are read again after event routines, at most this often: the window's own
// timers run routines several times a second, so a change is announced within about 300 ms
// without a timer of this service waking the idle program.
constexpr auto kRefreshInterval = std::chrono::milliseconds(250);
const QString kPlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");

// A local path as a file URI of its own bytes (a name may be GBK bytes, not UTF-8); an
// address as it is, encoded.
QString uri_of(const runtime::Text& location) {
    if (location.starts_with('/')) {
        const std::string path = runtime::gbk_to_file_name(location);
        return QStringLiteral("file://") +
               QString::fromLatin1(QUrl::toPercentEncoding(
                   QByteArray(path.data(), static_cast<qsizetype>(path.size())), "/"));
    }
    return QString::fromUtf8(QUrl(u::to_qstring(location)).toEncoded());
}

}  // namespace

// org.mpris.MediaPlayer2. Property and method names are the interface's own.
class MprisRootAdaptor final : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ can_quit)
    Q_PROPERTY(bool CanRaise READ can_raise)
    Q_PROPERTY(bool HasTrackList READ has_track_list)
    Q_PROPERTY(QString Identity READ identity)
    Q_PROPERTY(QString DesktopEntry READ desktop_entry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ uri_schemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ mime_types)

public:
    explicit MprisRootAdaptor(MprisService* service) : QDBusAbstractAdaptor(service) {}
    bool can_quit() const { return true; }
    bool can_raise() const { return true; }
    bool has_track_list() const { return false; }
    QString identity() const { return QStringLiteral("Wavlon"); }
    QString desktop_entry() const { return QStringLiteral(WAVLON_APP_ID); }
    // OpenUri takes local files and folders; the player plays MP3.
    QStringList uri_schemes() const { return {QStringLiteral("file")}; }
    QStringList mime_types() const { return {QStringLiteral("audio/mpeg")}; }

public Q_SLOTS:
    void Raise() { raise_main_window({}); }
    void Quit() { close_main_window(); }
};

// org.mpris.MediaPlayer2.Player.
class MprisPlayerAdaptor final : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playback_status)
    Q_PROPERTY(double Rate READ rate)
    Q_PROPERTY(double MinimumRate READ rate)
    Q_PROPERTY(double MaximumRate READ rate)
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(double Volume READ volume WRITE set_volume)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(bool CanGoNext READ can_go_next)
    Q_PROPERTY(bool CanGoPrevious READ can_go_previous)
    Q_PROPERTY(bool CanPlay READ can_play)
    Q_PROPERTY(bool CanPause READ can_pause)
    Q_PROPERTY(bool CanSeek READ can_seek)
    Q_PROPERTY(bool CanControl READ can_control)

public:
    explicit MprisPlayerAdaptor(MprisService* service)
        : QDBusAbstractAdaptor(service), m_service(service) {}
    QString playback_status() const { return now().playback_status; }
    double rate() const { return 1.0; }
    QVariantMap metadata() const {
        now();
        return m_service->metadata();
    }
    double volume() const { return now().volume; }
    void set_volume(double volume) { m_service->set_volume(volume); }
    qlonglong position() const { return m_service->position_us(); }
    bool can_go_next() const { return now().can_go_next; }
    bool can_go_previous() const { return now().can_go_previous; }
    bool can_play() const { return now().can_play; }
    bool can_pause() const { return now().can_pause; }
    bool can_seek() const { return now().can_seek; }
    bool can_control() const { return true; }

public Q_SLOTS:
    void PlayPause() { m_service->play_pause(); }
    void Play() { m_service->play(); }
    void Pause() { m_service->pause(); }
    void Stop() { m_service->stop(); }
    void Next() { m_service->next(); }
    void Previous() { m_service->previous(); }
    void Seek(qlonglong offset) { m_service->seek(offset); }
    void SetPosition(const QDBusObjectPath& track, qlonglong position) {
        m_service->set_position(track.path(), position);
    }
    void OpenUri(const QString& uri) { m_service->open_uri(uri); }

Q_SIGNALS:
    void Seeked(qlonglong position);

private:
    // A client reads what the window shows at the moment it asks.
    const MprisState& now() const {
        m_service->refresh();
        return m_service->state();
    }

    MprisService* m_service;
};

MprisState read_mpris_state() {
    MprisState state;
    if (!main_window_ready()) {
        return state;
    }
    const PlayState playing = playback().state();
    state.playback_status = playing == PlayState::kPlaying  ? QStringLiteral("Playing")
                            : playing == PlayState::kPaused ? QStringLiteral("Paused")
                                                            : QStringLiteral("Stopped");
    const TransportState transport = transport_state();
    state.can_pause = transport.can_play_pause;
    state.has_track = transport.has_track;
    state.can_play = transport.can_play;
    state.can_stop = transport.can_stop;
    state.can_go_previous = transport.can_go_previous;
    state.can_go_next = transport.can_go_next;
    const std::int32_t volume_range = player::integer_of(u::滑块条2, u::SliderBarUnit::kMaximum);
    if (volume_range > 0) {
        const std::int32_t position = player::integer_of(u::滑块条2, u::SliderBarUnit::kPosition);
        state.volume = std::clamp(double(position) / volume_range, 0.0, 1.0);
    }
    if (state.has_track) {
        state.title = u::to_qstring(playback().track_name());
        // The previous and next steps leave 编辑框2 as it was: the device knows what plays.
        state.url = uri_of(playback().opened_location());
        state.length_us = qlonglong{playback().length_ms()} * 1000;
        state.can_seek = playback().can_seek();
    }
    return state;
}

MprisService::MprisService(QDBusConnection bus, QObject* parent)
    : QObject(parent), m_bus(std::move(bus)) {
    new MprisRootAdaptor(this);
    new MprisPlayerAdaptor(this);
}

MprisService::~MprisService() {
    if (!m_service_name.isEmpty()) {
        runtime::set_after_event_observer({});
        playback().set_seek_observer({});
    }
    if (!m_service_name.isEmpty()) {
        m_bus.unregisterService(m_service_name);
        m_bus.unregisterObject(QString::fromLatin1(kObjectPath));
    }
}

bool MprisService::start() {
    if (!m_bus.isConnected() || !m_service_name.isEmpty()) {
        return !m_service_name.isEmpty();
    }
    if (!m_bus.registerObject(QString::fromLatin1(kObjectPath), this,
                              QDBusConnection::ExportAdaptors)) {
        return false;
    }
    const QString names[] = {
        QString::fromLatin1(kServiceName),
        QString::fromLatin1(kServiceName) + QStringLiteral(".instance") +
            QString::number(::getpid()),
    };
    for (const QString& name : names) {
        // Never queued: a name held by another player stays that player's.
        if (m_bus.interface()
                ->registerService(name, QDBusConnectionInterface::DontQueueService,
                                  QDBusConnectionInterface::DontAllowReplacement)
                .value() == QDBusConnectionInterface::ServiceRegistered) {
            m_service_name = name;
            m_state = read_mpris_state();
            playback().set_seek_observer([this] { announce_seek(); });
            runtime::set_after_event_observer([this] {
                if (std::chrono::steady_clock::now() - m_last_refresh >= kRefreshInterval) {
                    refresh();
                }
            });
            return true;
        }
    }
    m_bus.unregisterObject(QString::fromLatin1(kObjectPath));
    return false;
}

QVariantMap MprisService::metadata() const {
    QVariantMap map;
    if (!m_state.has_track) {
        map.insert(QStringLiteral("mpris:trackid"),
                   QVariant::fromValue(QDBusObjectPath(
                       QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack"))));
        return map;
    }
    map.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(track_id())));
    map.insert(QStringLiteral("xesam:title"), m_state.title);
    map.insert(QStringLiteral("xesam:url"), m_state.url);
    if (m_state.length_us > 0) {  // a track that could not be opened has no known length
        map.insert(QStringLiteral("mpris:length"), m_state.length_us);
    }
    return map;
}

qlonglong MprisService::position_us() const {
    if (!m_state.has_track || !main_window_ready()) {
        return 0;
    }
    return std::max<qlonglong>(playback().position_ms(), 0) * 1000;
}

void MprisService::act_if(bool usable_now, const std::function<void()>& action) {
    act_as_click(usable_now, action);
    refresh();
}

QString MprisService::track_id() const {
    return QStringLiteral("/org/wavlon/Wavlon/Track/") + QString::number(m_track_number);
}

bool MprisService::pick_track() {
    if (!app::pick_track()) {
        return false;
    }
    refresh();
    return true;
}

void MprisService::play_pause() {
    if (pick_track()) {
        return;
    }
    const MprisState now = read_mpris_state();
    act_if(now.can_pause, [] { playback().play_or_pause(); });
}

void MprisService::play() {
    if (pick_track()) {
        return;
    }
    const MprisState now = read_mpris_state();
    act_if(now.can_pause && now.playback_status != QLatin1String("Playing"),
           [] { playback().play_or_pause(); });
}

void MprisService::pause() {
    const MprisState now = read_mpris_state();
    act_if(now.can_pause && now.playback_status == QLatin1String("Playing"),
           [] { playback().play_or_pause(); });
}

void MprisService::seek_to_second(qlonglong seconds) {
    act_if(true, [seconds] {
        playback().seek(static_cast<std::int32_t>(std::min<qlonglong>(seconds, 32767)));
    });
}

void MprisService::seek(qlonglong offset_us) {
    const MprisState now = read_mpris_state();
    if (!now.can_seek || dialog_open()) {
        return;
    }
    const qlonglong target = std::max<qlonglong>(position_us() + offset_us, 0);
    if (target > now.length_us) {
        // Past the end, the interface asks for what Next does.
        next();
        return;
    }
    seek_to_second(target / 1'000'000);
}

void MprisService::set_position(const QString& track, qlonglong position) {
    refresh();
    const MprisState now = read_mpris_state();
    if (!now.can_seek || track != track_id() || position < 0 || position > now.length_us ||
        dialog_open()) {
        return;
    }
    seek_to_second(position / 1'000'000);
}

void MprisService::set_volume(double volume) {
    const std::int32_t range = player::integer_of(u::滑块条2, u::SliderBarUnit::kMaximum);
    if (range <= 0 || std::isnan(volume) || dialog_open()) {
        return;
    }
    const auto position =
        static_cast<std::int32_t>(std::lround(std::clamp(volume, 0.0, 1.0) * range));
    player::set_integer(u::滑块条2, u::SliderBarUnit::kPosition, position);
    runtime::dispatch_event(u::kMainWindowId, u::滑块条2.unit_id, u::SliderBarUnit::kChangedEvent);
    refresh();
}

void MprisService::open_uri(const QString& uri) {
    const QUrl url(uri);
    if (url.isLocalFile() && !dialog_open()) {
        open_paths({QFile::encodeName(url.toLocalFile()).toStdString()});
    }
    refresh();
}

void MprisService::announce_seek() {
    if (m_service_name.isEmpty()) {
        return;
    }
    QDBusMessage signal = QDBusMessage::createSignal(QString::fromLatin1(kObjectPath),
                                                     kPlayerInterface, QStringLiteral("Seeked"));
    signal << position_us();
    m_bus.send(signal);
}

void MprisService::stop() {
    act_if(read_mpris_state().can_stop, [] { playback().stop(); });
}

void MprisService::next() {
    act_if(read_mpris_state().can_go_next, [] { playback().step(player::Direction::kNext); });
}

void MprisService::previous() {
    act_if(read_mpris_state().can_go_previous,
           [] { playback().step(player::Direction::kPrevious); });
}

void MprisService::refresh() {
    if (m_service_name.isEmpty()) {
        return;
    }
    const MprisState before = m_state;
    m_state = read_mpris_state();
    m_last_refresh = std::chrono::steady_clock::now();
    if (m_state.has_track != before.has_track || m_state.url != before.url ||
        m_state.title != before.title) {
        ++m_track_number;
    }
    QVariantMap changed;
    if (m_state.playback_status != before.playback_status) {
        changed.insert(QStringLiteral("PlaybackStatus"), m_state.playback_status);
    }
    if (m_state.can_play != before.can_play) {
        changed.insert(QStringLiteral("CanPlay"), m_state.can_play);
    }
    if (m_state.can_pause != before.can_pause) {
        changed.insert(QStringLiteral("CanPause"), m_state.can_pause);
    }
    if (m_state.can_seek != before.can_seek) {
        changed.insert(QStringLiteral("CanSeek"), m_state.can_seek);
    }
    if (m_state.volume != before.volume) {
        changed.insert(QStringLiteral("Volume"), m_state.volume);
    }
    if (m_state.can_go_next != before.can_go_next) {
        changed.insert(QStringLiteral("CanGoNext"), m_state.can_go_next);
    }
    if (m_state.can_go_previous != before.can_go_previous) {
        changed.insert(QStringLiteral("CanGoPrevious"), m_state.can_go_previous);
    }
    if (m_state.has_track != before.has_track || m_state.title != before.title ||
        m_state.url != before.url || m_state.length_us != before.length_us) {
        changed.insert(QStringLiteral("Metadata"), metadata());
    }
    if (changed.isEmpty()) {
        return;
    }
    QDBusMessage signal = QDBusMessage::createSignal(
        QString::fromLatin1(kObjectPath), QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("PropertiesChanged"));
    signal << kPlayerInterface << changed << QStringList();
    m_bus.send(signal);
}

}  // namespace wavlon::app

#include "mpris_service.moc"
