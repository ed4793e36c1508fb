// One open media source of the media-control layer: a `playbin` pipeline and the state the
// command strings observe. Internal to the layer (media_control.h is the interface).
//
// No GLib main loop runs: every call first drains the pipeline's bus, so end of stream and
// errors are seen by whatever command or query comes next. Call from one thread only.
#pragma once

#include <gst/gst.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/media_control_mpeg.h"

namespace wavlon::platform {

enum class MediaMode { Stopped, Playing, Paused };

// Where an element name leads.
struct MediaSource {
    std::string uri;
    std::string path;  // the local file, empty for an address
    bool remote = false;
    std::chrono::milliseconds open_timeout{0};
};

// The source for an element name: an http(s) address is used as given, with spaces, control
// characters and non-ASCII bytes percent-escaped; anything else is a local path, which must
// name an existing file. std::nullopt when it names nothing playable.
std::optional<MediaSource> media_source_for(const std::string& element);

// Initialises GStreamer once and reports missing plugins (stderr, once).
void ensure_media_runtime();

struct HeadCapture;

class MediaSession {
public:
    // Opens and prerolls `source`, then finds its length; nullptr when it cannot be played
    // within the source's time-out.
    static std::unique_ptr<MediaSession> open(const MediaSource& source);
    ~MediaSession();
    MediaSession(const MediaSession&) = delete;
    MediaSession& operator=(const MediaSession&) = delete;

    // From the current position, or from `from_ms` (0..length). At the end: from the start.
    bool play(std::optional<std::int64_t> from_ms);
    bool pause();
    bool resume();
    bool stop();  // keeps the position
    bool seek_to_start();

    MediaMode mode();
    std::int64_t position_ms();
    std::optional<std::int64_t> length_ms();

    void set_window(std::int64_t handle) { m_window = handle; }
    std::int64_t window() const { return m_window; }

private:
    explicit MediaSession(const MediaSource& source);
    bool build();
    bool preroll(std::chrono::steady_clock::time_point deadline);
    void find_length(std::chrono::steady_clock::time_point deadline);
    std::optional<std::int64_t> pipeline_duration();
    std::optional<std::int64_t> file_length(std::chrono::steady_clock::time_point deadline);
    std::optional<std::int64_t> estimate_length(const mpeg::StreamHead& head,
                                                std::chrono::steady_clock::time_point deadline);
    bool restart();
    bool seek_to(std::int64_t ms);
    void poll_bus();
    void handle(GstMessage* message);
    void on_end_of_stream();
    void on_error();

    MediaSource m_source;
    std::unique_ptr<HeadCapture> m_capture;
    GstElement* m_pipeline = nullptr;
    GstBus* m_bus = nullptr;
    MediaMode m_mode = MediaMode::Stopped;
    bool m_at_end = false;
    bool m_broken = false;        // an error stopped the pipeline; play restarts it
    bool m_seek_pending = false;  // a seek is under way; the position is its target
    std::int64_t m_last_position = 0;
    std::optional<std::int64_t> m_length;
    // The length is an estimate (a stream without a frame count, or a file too large to walk
    // in time): it does not hold the position back, and the end makes it exact.
    bool m_length_estimated = false;
    std::int64_t m_window = 0;
};

}  // namespace wavlon::platform
