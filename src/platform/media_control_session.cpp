#include "platform/media_control_session.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <mutex>

#include "platform/media_control_mpeg.h"
#include "platform/media_control_output.h"
#include "platform/module_loader.h"

namespace wavlon::platform {

using Clock = std::chrono::steady_clock;

// The first bytes of an address's stream, taken from its source pad as they pass; the
// streaming thread feeds it, the caller's thread reads it.
struct HeadCapture {
    std::mutex mutex;
    mpeg::StreamHead head;
    std::uint64_t next_offset = 0;
    bool closed = false;  // seen enough, or the stream was restarted or sought
};

namespace {

GstPadProbeReturn capture_head(GstPad*, GstPadProbeInfo* info, gpointer data) {
    auto* capture = static_cast<HeadCapture*>(data);
    GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    std::lock_guard lock(capture->mutex);
    if (capture->closed) {
        return GST_PAD_PROBE_REMOVE;
    }
    // A buffer that does not continue the stream from its start means a seek or a restart.
    guint64 offset = GST_BUFFER_OFFSET(buffer);
    if (offset != GST_BUFFER_OFFSET_NONE && offset != capture->next_offset) {
        capture->closed = true;
        return GST_PAD_PROBE_REMOVE;
    }
    GstMapInfo map;
    if (gst_buffer_map(buffer, &map, GST_MAP_READ)) {
        capture->head.feed({reinterpret_cast<const char*>(map.data), map.size});
        capture->next_offset += map.size;
        gst_buffer_unmap(buffer, &map);
    }
    capture->closed = capture->head.complete();
    return capture->closed ? GST_PAD_PROBE_REMOVE : GST_PAD_PROBE_OK;
}

void on_source_setup(GstElement*, GstElement* source, gpointer data) {
    if (GstRef<GstPad> pad{gst_element_get_static_pad(source, "src")}) {
        gst_pad_add_probe(pad.get(), GST_PAD_PROBE_TYPE_BUFFER, capture_head, data, nullptr);
    }
}

std::chrono::milliseconds left_until(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return std::max(left, std::chrono::milliseconds(0));
}

GstClockTime to_clock(std::chrono::milliseconds ms) {
    return static_cast<GstClockTime>(ms.count()) * GST_MSECOND;
}

// The first bytes of a local file, tags skipped, for the frame-header probe.
mpeg::StreamHead read_file_head(const std::string& path) {
    mpeg::StreamHead head;
    std::ifstream in(path, std::ios::binary);
    char chunk[64 * 1024];
    while (in && !head.complete()) {
        in.read(chunk, sizeof chunk);
        head.feed({chunk, static_cast<std::size_t>(in.gcount())});
    }
    return head;
}

// 128 when the file ends in an ID3v1 tag (not audio), else 0.
std::uint64_t trailing_tag_size(const std::string& path, std::uint64_t size) {
    if (size < 128) {
        return 0;
    }
    std::ifstream in(path, std::ios::binary);
    char tag[3] = {};
    in.seekg(static_cast<std::streamoff>(size - 128));
    in.read(tag, 3);
    return in && std::string_view(tag, 3) == "TAG" ? 128 : 0;
}

// How long opening a file may spend counting its frames; a file that takes longer (several
// hundred megabytes) has the rest of its length estimated from the part counted.
constexpr std::chrono::milliseconds kFrameWalkTime{2000};

// Whether the bit rate of frames spread over the file is that of its first frame: the mark of
// a constant bit rate, whose length the byte count gives. A place without a frame of the
// stream counts as a different rate.
bool has_constant_bit_rate(const std::string& path, const mpeg::StreamInfo& info,
                           std::uint64_t audio_end) {
    constexpr int kPlaces = 8;
    constexpr std::uint64_t kWindow = 8 * 1024;
    std::ifstream in(path, std::ios::binary);
    std::string window;
    const std::uint64_t audio = audio_end - info.audio_offset;
    for (int k = 1; k <= kPlaces; ++k) {
        const std::uint64_t at = info.audio_offset + audio * static_cast<std::uint64_t>(k) /
                                                         static_cast<std::uint64_t>(kPlaces + 1);
        window.resize(static_cast<std::size_t>(std::min(kWindow, audio_end - at)));
        in.seekg(static_cast<std::streamoff>(at));
        in.read(window.data(), static_cast<std::streamsize>(window.size()));
        window.resize(static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
        in.clear();
        std::optional<mpeg::FrameHeader> frame = mpeg::find_frame(window, info.first);
        if (!frame || frame->bitrate != info.first.bitrate) {
            return false;
        }
    }
    return true;
}

struct FrameWalk {
    mpeg::FrameChain chain;
    bool complete = false;  // every audio byte was walked before the time ran out
};

// Counts the frames between the first audio frame and `audio_end`, until `until`.
FrameWalk walk_frames(const std::string& path, const mpeg::StreamInfo& info,
                      std::uint64_t audio_end, Clock::time_point until) {
    FrameWalk walk{mpeg::FrameChain(info)};
    std::ifstream in(path, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(info.audio_offset));
    std::uint64_t left = audio_end - info.audio_offset;
    std::string chunk(256 * 1024, '\0');
    while (left > 0 && in && Clock::now() < until) {
        auto want = static_cast<std::streamsize>(std::min<std::uint64_t>(chunk.size(), left));
        in.read(chunk.data(), want);
        const auto got = static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0));
        walk.chain.feed(std::string_view(chunk).substr(0, got));
        left -= got;
    }
    walk.complete = left == 0;
    return walk;
}

GstPadProbeReturn count_bytes(GstPad*, GstPadProbeInfo* info, gpointer data) {
    auto* total = static_cast<std::atomic<std::uint64_t>*>(data);
    total->fetch_add(gst_buffer_get_size(GST_PAD_PROBE_INFO_BUFFER(info)));
    return GST_PAD_PROBE_OK;
}

// Reads a whole address once to learn its size when the server does not say it.
std::optional<std::uint64_t> fetch_size(const std::string& uri, Clock::time_point deadline) {
    // Declared first: the streaming thread counts into it until the pipeline is released.
    std::atomic<std::uint64_t> total{0};
    GstRef<GstElement> source{
        gst_element_make_from_uri(GST_URI_SRC, uri.c_str(), nullptr, nullptr)};
    GstRef<GstElement> sink{gst_element_factory_make("fakesink", nullptr)};
    PipelineRef pipeline{gst_pipeline_new(nullptr)};
    if (!pipeline || !source || !sink) {
        return std::nullopt;
    }
    g_object_set(sink.get(), "sync", FALSE, nullptr);
    GstElement* from = source.release();  // the pipeline owns both from here
    GstElement* to = sink.release();
    gst_bin_add_many(GST_BIN(pipeline.get()), from, to, nullptr);
    if (!gst_element_link(from, to)) {
        return std::nullopt;
    }
    GstRef<GstPad> pad{gst_element_get_static_pad(to, "sink")};
    gst_pad_add_probe(pad.get(), GST_PAD_PROBE_TYPE_BUFFER, count_bytes, &total, nullptr);
    GstRef<GstBus> bus{gst_element_get_bus(pipeline.get())};
    if (gst_element_set_state(pipeline.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        return std::nullopt;
    }
    auto types = static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR);
    GstMessageRef message{
        gst_bus_timed_pop_filtered(bus.get(), to_clock(left_until(deadline)), types)};
    if (message && GST_MESSAGE_TYPE(message.get()) == GST_MESSAGE_EOS) {
        return total.load();
    }
    return std::nullopt;
}

}  // namespace

GstMediaStream::GstMediaStream(const MediaSource& source, std::function<void()> end_notice)
    : m_source(source),
      m_end_notice(std::move(end_notice)),
      m_capture(std::make_unique<HeadCapture>()) {}

GstMediaStream::~GstMediaStream() {
    // Joins the streaming threads, which may still be telling of an end through this object.
    if (m_pipeline) {
        gst_element_set_state(m_pipeline.get(), GST_STATE_NULL);
    }
}

std::unique_ptr<GstMediaStream> GstMediaStream::open(const MediaSource& source,
                                                     std::function<void()> end_notice) {
    ensure_media_runtime();
    std::unique_ptr<GstMediaStream> session(new GstMediaStream(source, std::move(end_notice)));
    auto deadline = Clock::now() + source.open_timeout;
    if (!session->build() || !session->preroll(deadline)) {
        return nullptr;
    }
    gint audio_streams = 0;
    g_object_get(session->m_pipeline.get(), "n-audio", &audio_streams, nullptr);
    if (audio_streams <= 0) {
        return nullptr;
    }
    session->find_length(deadline);
    return session;
}

bool GstMediaStream::build() {
    GstElement* playbin = gst_element_factory_make("playbin", nullptr);
    if (playbin == nullptr) {
        return false;
    }
    m_pipeline.reset(GST_ELEMENT(gst_object_ref_sink(playbin)));
    GstElement* audio_sink = make_audio_sink();
    if (audio_sink == nullptr) {
        return false;
    }
    // playbin takes the floating references of its sinks.
    g_object_set(m_pipeline.get(), "uri", m_source.uri.c_str(), "flags", kAudioOnlyPlayFlags,
                 "audio-sink", audio_sink, nullptr);
    if (GstElement* video_sink = gst_element_factory_make("fakesink", nullptr)) {
        g_object_set(m_pipeline.get(), "video-sink", video_sink, nullptr);
    }
    if (m_source.remote) {
        g_signal_connect(m_pipeline.get(), "source-setup", G_CALLBACK(on_source_setup),
                         m_capture.get());
    }
    m_bus.reset(gst_element_get_bus(m_pipeline.get()));
    gst_bus_set_sync_handler(m_bus.get(), on_bus_message, this, nullptr);
    return true;
}

// On the thread that posts: the end is told of the moment the output has played the last
// sound, not when the caller next looks. The message itself still goes to the bus.
GstBusSyncReply GstMediaStream::on_bus_message(GstBus*, GstMessage* message, gpointer self) {
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS) {
        auto* stream = static_cast<GstMediaStream*>(self);
        stream->m_ends_posted.fetch_add(1);
        if (stream->m_end_notice) {
            stream->m_end_notice();
        }
    }
    return GST_BUS_PASS;
}

bool GstMediaStream::preroll(Clock::time_point deadline) {
    GstStateChangeReturn change = gst_element_set_state(m_pipeline.get(), GST_STATE_PAUSED);
    if (change == GST_STATE_CHANGE_FAILURE) {
        return false;
    }
    if (change != GST_STATE_CHANGE_ASYNC) {
        return true;
    }
    for (;;) {
        std::chrono::milliseconds left = left_until(deadline);
        GstMessageRef message{left.count() > 0 ? gst_bus_timed_pop(m_bus.get(), to_clock(left))
                                               : nullptr};
        if (!message) {
            return false;
        }
        GstMessageType type = GST_MESSAGE_TYPE(message.get());
        if (type == GST_MESSAGE_ASYNC_DONE) {
            return true;
        }
        if (type == GST_MESSAGE_ERROR) {
            return false;
        }
    }
}

void GstMediaStream::find_length(Clock::time_point deadline) {
    if (m_source.remote) {
        mpeg::StreamHead head;
        {
            std::lock_guard lock(m_capture->mutex);
            head = m_capture->head;
        }
        std::optional<mpeg::StreamInfo> info = mpeg::probe_stream(head.data(), head.data_offset());
        m_length = pipeline_duration();
        if (!m_length) {
            m_length = estimate_length(head, deadline);
        }
        // Before a stream's end only a frame count makes its length exact.
        m_length_estimated = m_length && !(info && info->summary_length_ms);
    } else {
        m_length = file_length(deadline);
    }
    std::lock_guard lock(m_capture->mutex);
    m_capture->closed = true;
}

std::optional<std::int64_t> GstMediaStream::pipeline_duration() {
    gint64 duration = -1;
    if (gst_element_query_duration(m_pipeline.get(), GST_FORMAT_TIME, &duration) && duration > 0) {
        return duration / GST_MSECOND;
    }
    return std::nullopt;
}

// A file's length. The pipeline's duration is right for a file with a Xing/Info/VBRI frame
// count and for a constant bit rate; for a variable bit rate without a count it is only the
// first frames' bit rate applied to the whole file (a file that starts loud and ends quiet
// comes out far too short), so the frames are counted instead.
std::optional<std::int64_t> GstMediaStream::file_length(Clock::time_point deadline) {
    mpeg::StreamHead head = read_file_head(m_source.path);
    std::optional<mpeg::StreamInfo> info = mpeg::probe_stream(head.data(), head.data_offset());
    auto known_length = [&]() -> std::optional<std::int64_t> {
        std::optional<std::int64_t> duration = pipeline_duration();
        return duration ? duration : estimate_length(head, deadline);
    };
    std::error_code error;
    const std::uint64_t size = std::filesystem::file_size(m_source.path, error);
    if (!info || info->summary_length_ms || error) {
        return known_length();
    }
    const std::uint64_t audio_end = size - trailing_tag_size(m_source.path, size);
    if (audio_end <= info->audio_offset || has_constant_bit_rate(m_source.path, *info, audio_end)) {
        return known_length();
    }
    FrameWalk walk = walk_frames(m_source.path, *info, audio_end,
                                 std::min(deadline, Clock::now() + kFrameWalkTime));
    if (walk.chain.frames() == 0) {
        return known_length();
    }
    if (walk.complete) {
        return walk.chain.length_ms();
    }
    // Out of time in a huge file: the rest at the bit rate of the part walked.
    m_length_estimated = true;
    const double walked = static_cast<double>(walk.chain.bytes_fed());
    const double audio = static_cast<double>(audio_end - info->audio_offset);
    return static_cast<std::int64_t>(static_cast<double>(walk.chain.length_ms()) * audio / walked);
}

// Without a duration from the pipeline (an MPEG stream with no frame index): the frame count
// of a Xing/Info/VBRI frame, else the byte length at the first frame's bit rate.
std::optional<std::int64_t> GstMediaStream::estimate_length(const mpeg::StreamHead& head,
                                                            Clock::time_point deadline) {
    std::optional<mpeg::StreamInfo> info = mpeg::probe_stream(head.data(), head.data_offset());
    if (!info) {
        return std::nullopt;
    }
    if (info->summary_length_ms) {
        return info->summary_length_ms;
    }
    std::uint64_t trailing = 0;
    std::optional<std::uint64_t> total;
    if (!m_source.remote) {
        std::error_code error;
        std::uint64_t size = std::filesystem::file_size(m_source.path, error);
        if (!error) {
            total = size;
            trailing = trailing_tag_size(m_source.path, size);
        }
    } else {
        GstElement* source_element = nullptr;
        g_object_get(m_pipeline.get(), "source", &source_element, nullptr);
        GstRef<GstElement> source{source_element};
        gint64 bytes = -1;
        if (source && gst_element_query_duration(source.get(), GST_FORMAT_BYTES, &bytes) &&
            bytes > 0) {
            total = static_cast<std::uint64_t>(bytes);
        }
        if (!total) {
            total = fetch_size(m_source.uri, deadline);
        }
    }
    if (!total) {
        return std::nullopt;
    }
    return mpeg::estimate_length_ms(*info, *total, trailing);
}

bool GstMediaStream::restart() {
    gst_element_set_state(m_pipeline.get(), GST_STATE_NULL);
    gst_bus_set_flushing(m_bus.get(), TRUE);  // drops what the old run left on the bus
    gst_bus_set_flushing(m_bus.get(), FALSE);
    m_ends_taken = m_ends_posted.load();
    m_at_end = false;
    m_seek_pending = false;
    m_last_position = 0;
    m_mode = MediaMode::Stopped;
    m_broken = !preroll(Clock::now() + m_source.open_timeout);
    if (m_broken) {
        gst_element_set_state(m_pipeline.get(), GST_STATE_NULL);
        return false;
    }
    return true;
}

bool GstMediaStream::seek_to(std::int64_t ms) {
    if (!m_at_end && !m_seek_pending && ms == position_ms()) {
        return true;
    }
    auto flags = static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE);
    if (gst_element_seek_simple(m_pipeline.get(), GST_FORMAT_TIME, flags, ms * GST_MSECOND)) {
        m_seek_pending = true;
        m_last_position = ms;
        m_at_end = false;
        return true;
    }
    // A stream that cannot seek still starts again from its beginning when reopened.
    return ms == 0 && restart();
}

bool GstMediaStream::play(std::optional<std::int64_t> from_ms) {
    poll_bus();
    if (from_ms && (*from_ms < 0 || (m_length && *from_ms > *length_ms()))) {
        return false;
    }
    if (m_broken && !restart()) {
        return false;
    }
    if (from_ms ? !seek_to(*from_ms) : m_at_end && !seek_to(0)) {
        return false;
    }
    if (gst_element_set_state(m_pipeline.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        return false;
    }
    m_mode = MediaMode::Playing;
    return true;
}

bool GstMediaStream::pause() {
    poll_bus();
    if (m_broken) {
        return false;
    }
    if (m_mode == MediaMode::Playing &&
        gst_element_set_state(m_pipeline.get(), GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE) {
        return false;
    }
    m_mode = MediaMode::Paused;
    return true;
}

bool GstMediaStream::resume() {
    poll_bus();
    if (m_mode != MediaMode::Paused) {
        return m_mode == MediaMode::Playing;
    }
    if (m_at_end) {
        // Nothing is left to play: resuming ends at once, as playing to the end would.
        m_mode = MediaMode::Stopped;
        return true;
    }
    if (gst_element_set_state(m_pipeline.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        return false;
    }
    m_mode = MediaMode::Playing;
    return true;
}

bool GstMediaStream::stop() {
    poll_bus();
    if (m_mode == MediaMode::Playing && !m_broken &&
        gst_element_set_state(m_pipeline.get(), GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE) {
        return false;
    }
    m_mode = MediaMode::Stopped;
    return true;
}

bool GstMediaStream::seek_to_start() {
    poll_bus();
    if (m_broken) {
        return restart();
    }
    if (m_mode == MediaMode::Playing) {
        gst_element_set_state(m_pipeline.get(), GST_STATE_PAUSED);
    }
    m_mode = MediaMode::Stopped;
    return seek_to(0);
}

MediaMode GstMediaStream::mode() {
    poll_bus();
    return m_mode;
}

std::int64_t GstMediaStream::position_ms() {
    poll_bus();
    if (!m_at_end && !m_seek_pending && !m_broken) {
        gint64 position = -1;
        if (gst_element_query_position(m_pipeline.get(), GST_FORMAT_TIME, &position) &&
            position >= 0) {
            m_last_position = position / GST_MSECOND;
        }
    }
    if (m_length && !m_length_estimated) {
        m_last_position = std::min(m_last_position, *m_length);
    }
    return m_last_position;
}

std::optional<std::int64_t> GstMediaStream::length_ms() {
    poll_bus();
    if (!m_length_estimated || !m_length) {
        return m_length;
    }
    // A stream's pipeline refines its estimate as it parses further.
    if (m_source.remote) {
        if (std::optional<std::int64_t> duration = pipeline_duration()) {
            m_length = duration;
        }
    }
    // Still playing past the estimate: the end lies beyond the position, by how much is not
    // known until it comes. One second further keeps the end of the estimate from passing
    // for the end of the stream.
    const std::int64_t position = position_ms();
    return position < *m_length ? *m_length : position + 1000;
}

void GstMediaStream::poll_bus() {
    while (GstMessageRef message{gst_bus_pop(m_bus.get())}) {
        handle(message.get());
    }
    // An end already told of is queued on the bus a moment after the notice: wait for it, so
    // that whoever was told sees the end.
    while (m_ends_taken < m_ends_posted.load()) {
        GstMessageRef message{gst_bus_timed_pop(m_bus.get(), 100 * GST_MSECOND)};
        if (!message) {
            m_ends_taken = m_ends_posted.load();
            break;
        }
        handle(message.get());
    }
}

void GstMediaStream::handle(GstMessage* message) {
    switch (GST_MESSAGE_TYPE(message)) {
        case GST_MESSAGE_EOS:
            ++m_ends_taken;
            // An end that a later flushing seek overtook belongs to the old run.
            if (!m_seek_pending && !m_broken) {
                on_end_of_stream();
            }
            break;
        case GST_MESSAGE_ERROR:
            on_error();
            break;
        case GST_MESSAGE_ASYNC_DONE:
            m_seek_pending = false;
            break;
        default:
            break;
    }
}

void GstMediaStream::on_end_of_stream() {
    gint64 position = -1;
    if (gst_element_query_position(m_pipeline.get(), GST_FORMAT_TIME, &position) && position >= 0) {
        m_last_position = position / GST_MSECOND;
    }
    // The end gives the true length of a stream whose length was not known or estimated.
    if (!m_length || m_length_estimated) {
        m_length = m_last_position;
        m_length_estimated = false;
    }
    m_last_position = *m_length;
    m_at_end = true;
    m_mode = MediaMode::Stopped;
    gst_element_set_state(m_pipeline.get(), GST_STATE_PAUSED);
}

void GstMediaStream::on_error() {
    gst_element_set_state(m_pipeline.get(), GST_STATE_NULL);
    m_broken = true;
    m_seek_pending = false;
    m_mode = MediaMode::Stopped;
}

namespace {

class GstMediaBackend final : public MediaBackend {
public:
    std::optional<MediaSource> source_for(const std::string& element) override {
        ensure_media_runtime();
        return media_source_for(element);
    }

    std::unique_ptr<MediaStream> open(const MediaSource& source,
                                      std::function<void()> end_notice) override {
        return GstMediaStream::open(source, std::move(end_notice));
    }
};

}  // namespace

}  // namespace wavlon::platform

WAVLON_MODULE_ENTRY wavlon::platform::MediaBackend* wavlon_media_backend() {
    static wavlon::platform::GstMediaBackend backend;
    return &backend;
}
