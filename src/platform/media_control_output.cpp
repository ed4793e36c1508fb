#include "platform/media_control_output.h"

#include <cstdio>
#include <filesystem>

#include "platform/gst_handle.h"
#include "platform/media_control.h"
#include "platform/percent_escape.h"

namespace wavlon::platform {
namespace {

constexpr gint64 kSinkBufferUs = 1'000'000;
constexpr gint64 kSinkSegmentUs = 100'000;

bool factory_exists(const char* name) {
    return GstRef<GstElementFactory>{gst_element_factory_find(name)} != nullptr;
}

// True when a pulsesink can reach its server: READY is where it connects.
bool pulse_server_answers() {
    PipelineRef probe{gst_element_factory_make("pulsesink", nullptr)};
    if (!probe) {
        return false;
    }
    gst_object_ref_sink(probe.get());
    return gst_element_set_state(probe.get(), GST_STATE_READY) != GST_STATE_CHANGE_FAILURE;
}

bool has_uri_scheme(const std::string& element, const char* scheme) {
    std::size_t n = std::char_traits<char>::length(scheme);
    if (element.size() <= n) {
        return false;
    }
    for (std::size_t i = 0; i < n; ++i) {
        char c = element[i];
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
        if (c != scheme[i]) {
            return false;
        }
    }
    return true;
}

// Escapes what a URI may not hold as it stands; "%" sequences already there are kept.
std::string escape_address(const std::string& address) {
    return percent_escape(address, "\"<>\\^`{|}");
}

}  // namespace

void ensure_media_runtime() {
    static bool ready = false;
    if (ready) {
        return;
    }
    ready = true;
    if (!gst_is_initialized()) {
        gst_init(nullptr, nullptr);
    }
    for (const std::string& line : missing_media_plugins(factory_exists)) {
        std::fprintf(stderr, "%s\n", line.c_str());
    }
}

GstElement* make_audio_sink() {
    static const bool use_pulse = pulse_server_answers();
    GstElement* sink = nullptr;
    if (use_pulse) {
        sink = gst_element_factory_make("pulsesink", nullptr);
        if (sink != nullptr) {
            // A second of sound on the server, topped up a tenth of a second at a time: the
            // streaming threads wake about ten times a second instead of a hundred (the
            // default is 200 ms in 10 ms pieces), and the decoder works in larger bursts.
            // Pausing corks and seeking flushes the server's buffer, so both still act at
            // once, and the position is the server's clock of what has been heard.
            g_object_set(sink, "client-name", "Wavlon", "buffer-time", kSinkBufferUs,
                         "latency-time", kSinkSegmentUs, nullptr);
        }
    }
    if (sink == nullptr) {
        sink = gst_element_factory_make("autoaudiosink", nullptr);
    }
    return sink;
}

std::optional<MediaSource> media_source_for(const std::string& element) {
    MediaSource source;
    if (has_uri_scheme(element, "http://") || has_uri_scheme(element, "https://")) {
        source.uri = escape_address(element);
        source.remote = true;
        source.open_timeout = std::chrono::seconds(15);
        return source;
    }
    std::error_code error;
    if (element.empty() || !std::filesystem::is_regular_file(element, error)) {
        return std::nullopt;
    }
    gchar* uri = gst_filename_to_uri(element.c_str(), nullptr);
    if (uri == nullptr) {
        return std::nullopt;
    }
    source.uri = uri;
    g_free(uri);
    source.path = element;
    source.open_timeout = std::chrono::seconds(5);
    return source;
}

}  // namespace wavlon::platform
