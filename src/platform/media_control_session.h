// The GStreamer backend of the media-control layer (media_backend.h): each open source is a
// `playbin` pipeline to the system's default audio output. Internal to the layer.
//
// No GLib main loop runs: every call first drains the pipeline's bus, so end of stream and
// errors are seen by whatever command or query comes next. Call from one thread only.
#pragma once

#include <gst/gst.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/gst_handle.h"
#include "platform/media_backend.h"
#include "platform/media_control_mpeg.h"

namespace wavlon::platform {

struct HeadCapture;

// One source played by a playbin. What each call does is in media_backend.h.
class GstMediaStream final : public MediaStream {
public:
    // Opens and prerolls `source`, then finds its length; nullptr when it cannot be played
    // within the source's time-out. `end_notice` is called on a streaming thread when the
    // stream plays to its end.
    static std::unique_ptr<GstMediaStream> open(const MediaSource& source,
                                                std::function<void()> end_notice);
    ~GstMediaStream() override;
    GstMediaStream(const GstMediaStream&) = delete;
    GstMediaStream& operator=(const GstMediaStream&) = delete;

    bool play(std::optional<std::int64_t> from_ms) override;
    bool pause() override;
    bool resume() override;
    bool stop() override;
    bool seek_to_start() override;

    MediaMode mode() override;
    std::int64_t position_ms() override;
    std::optional<std::int64_t> length_ms() override;

private:
    GstMediaStream(const MediaSource& source, std::function<void()> end_notice);
    static GstBusSyncReply on_bus_message(GstBus* bus, GstMessage* message, gpointer self);
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
    std::function<void()> m_end_notice;
    // Ends the pipeline has posted (counted on a streaming thread as they are posted) and ends
    // this side has taken off the bus: an end told of is awaited by the next poll.
    std::atomic<std::uint64_t> m_ends_posted{0};
    std::uint64_t m_ends_taken = 0;
    std::unique_ptr<HeadCapture> m_capture;
    PipelineRef m_pipeline;
    GstRef<GstBus> m_bus;
    MediaMode m_mode = MediaMode::Stopped;
    bool m_at_end = false;
    bool m_broken = false;        // an error stopped the pipeline; play restarts it
    bool m_seek_pending = false;  // a seek is under way; the position is its target
    std::int64_t m_last_position = 0;
    std::optional<std::int64_t> m_length;
    // The length is an estimate (a stream without a frame count, or a file too large to walk
    // in time): it does not hold the position back, and the end makes it exact.
    bool m_length_estimated = false;
};

}  // namespace wavlon::platform
