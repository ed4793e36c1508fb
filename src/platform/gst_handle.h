// Owning handles for GStreamer objects, so that every early return releases what was made.
// Internal to the media-control layer.
#pragma once

#include <gst/gst.h>

#include <memory>

namespace wavlon::platform {

struct GstObjectRelease {
    void operator()(gpointer object) const { gst_object_unref(object); }
};

// One reference to a GstObject (an element, pad, bus or factory). An element made by a
// factory starts floating; dropping it unadded frees it as well.
template <typename T>
using GstRef = std::unique_ptr<T, GstObjectRelease>;

struct GstMessageRelease {
    void operator()(GstMessage* message) const { gst_message_unref(message); }
};

using GstMessageRef = std::unique_ptr<GstMessage, GstMessageRelease>;

// A pipeline, or an element run by itself: brought down to NULL, which stops its threads and
// lets go of devices and sockets, before its reference is dropped.
struct PipelineRelease {
    void operator()(GstElement* pipeline) const {
        gst_element_set_state(pipeline, GST_STATE_NULL);
        gst_object_unref(pipeline);
    }
};

using PipelineRef = std::unique_ptr<GstElement, PipelineRelease>;

}  // namespace wavlon::platform
