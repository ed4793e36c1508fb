// GStreamer set-up for the media-control layer: initialisation, the plugin check and the
// audio output. Internal to the layer.
#pragma once

#include <gst/gst.h>

namespace wavlon::platform {

// playbin's "flags": audio and software volume only, so no video or subtitle chain (and no
// video window) is ever built.
constexpr guint kAudioOnlyPlayFlags = 0x02 | 0x10;

// A new sink for the system's default audio output: pulsesink when a PulseAudio (or
// PipeWire) server answers, else whatever autoaudiosink finds. Decided once, at first use.
// nullptr when neither element exists.
GstElement* make_audio_sink();

}  // namespace wavlon::platform
