// GStreamer set-up for the media-control layer: initialisation, the plugin check, sources
// and the audio output. Internal to the layer.
#pragma once

#include <gst/gst.h>

#include <optional>
#include <string>

#include "platform/media_backend.h"

namespace wavlon::platform {

// The source for an element name: an http(s) address is used as given, with spaces, control
// characters and non-ASCII bytes percent-escaped; anything else is a local path, which must
// name an existing file. std::nullopt when it names nothing playable.
std::optional<MediaSource> media_source_for(const std::string& element);

// Initialises GStreamer once and reports missing plugins (stderr, once).
void ensure_media_runtime();

// playbin's "flags": audio and software volume only, so no video or subtitle chain (and no
// video window) is ever built.
constexpr guint kAudioOnlyPlayFlags = 0x02 | 0x10;

// A new sink for the system's default audio output: pulsesink when a PulseAudio (or
// PipeWire) server answers, else whatever autoaudiosink finds. Decided once, at first use.
// nullptr when neither element exists.
GstElement* make_audio_sink();

}  // namespace wavlon::platform
