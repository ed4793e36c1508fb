// The plugin check's messages, shared by the player and its media module.
#include "platform/media_control.h"

namespace wavlon::platform {

std::vector<std::string> missing_media_plugins(const std::function<bool(const char*)>& exists) {
    std::vector<std::string> lines;
    auto need = [&](const char* element, const char* package, const char* effect) {
        if (!exists(element)) {
            lines.push_back(std::string("wavlon: GStreamer element \"") + element +
                            "\" is missing (package " + package + "); " + effect);
        }
    };
    need("playbin", "gstreamer1.0-plugins-base", "nothing can be played");
    need("mpegaudioparse", "gstreamer1.0-plugins-good", "MP3 files cannot be played");
    if (!exists("mpg123audiodec") && !exists("avdec_mp3")) {
        need("mpg123audiodec", "gstreamer1.0-plugins-good", "MP3 files cannot be played");
    }
    need("pulsesink", "gstreamer1.0-plugins-good", "sound goes to another audio output");
    need("souphttpsrc", "gstreamer1.0-plugins-good", "http and https addresses cannot be played");
    return lines;
}

}  // namespace wavlon::platform
