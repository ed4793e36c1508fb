// The player under the media-control command interpreter (media_control.h).
//
// The interpreter owns the command language: words, aliases, which alias is open, window
// handles (only kept and answered) and the answers' texts. A backend owns everything that
// makes sound: finding what an element names, decoding, output, the stream's clock and its
// length. The interpreter reaches the backend through these two tables of calls only; the one
// backend in use plays through GStreamer (media_control_session.cpp).
//
// Threads: every call below comes from the interpreter's caller, the user-interface thread,
// one at a time. A backend may run threads of its own (decoding, output) but must not call
// back into the interpreter from them; what they observe (the end of a stream, an error) is
// kept until the next call on that stream looks. The one exception is the end notice given to
// open, which a backend thread calls the moment the stream's last sound has played.
//
// Time: a call returns within the bound given with it. None waits for playback to end.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace wavlon::platform {

enum class MediaMode { Stopped, Playing, Paused };

// Where an element name leads.
struct MediaSource {
    std::string uri;
    std::string path;  // the local file, empty for an address
    bool remote = false;
    std::chrono::milliseconds open_timeout{0};  // how long open may take for this source
};

// One open source. Positions and lengths are milliseconds from the start of the audio.
class MediaStream {
public:
    virtual ~MediaStream() = default;

    // Starts or continues playing: from `from_ms` when given (refused outside 0..length when
    // the length is known), else from where the stream stands; a stream that stands at its
    // end starts again from 0. A stream stopped by an error is reopened from its start first.
    // Returns at once, except that reopening may take as long as open.
    virtual bool play(std::optional<std::int64_t> from_ms) = 0;
    // Holds the sound where it is; the mode is "paused" from then on, from stopped too.
    // False when an error has stopped the stream. Returns at once.
    virtual bool pause() = 0;
    // Continues a paused stream; a paused stream already at its end stops instead (true).
    // True without change while playing; false when stopped. Returns at once.
    virtual bool resume() = 0;
    // Silences the stream and keeps its position. Returns at once.
    virtual bool stop() = 0;
    // Stops and returns to the start. Returns at once, or as long as open when the stream
    // cannot seek and must be reopened, or an error had stopped it.
    virtual bool seek_to_start() = 0;

    // What the stream does now; an end or error met since the last call shows here.
    // Returns at once.
    virtual MediaMode mode() = 0;
    // Where the stream stands: the target of a seek under way, the length at the end, and
    // never beyond an exact length. Returns at once.
    virtual std::int64_t position_ms() = 0;
    // The length: found once, at open, and answered from then on without asking the decoder
    // again. A file's length is exact. A stream's may be an estimate, which never falls behind
    // the position while it plays; the end makes it exact. std::nullopt while not known.
    // Returns at once.
    virtual std::optional<std::int64_t> length_ms() = 0;
};

class MediaBackend {
public:
    virtual ~MediaBackend() = default;

    // What an element names: an http(s) address as given (characters a URI may not hold
    // escaped), else a local path that must name an existing regular file. std::nullopt when
    // it names nothing playable. Prepares the backend on first use (loads its libraries and
    // reports missing parts once on standard error). Returns at once, but the first call may
    // take as long as loading the libraries.
    virtual std::optional<MediaSource> source_for(const std::string& element) = 0;

    // Opens `source`, made ready to play at its start (stopped, position 0) with its length
    // found; nullptr when it cannot be played, has no audio, or is not ready within the
    // source's open_timeout. Nothing is heard until play. `end_notice`, when set, is called on a
    // backend thread each time the stream plays to its end; from then on the stream's next
    // call shows the end. It must not call into the stream.
    virtual std::unique_ptr<MediaStream> open(const MediaSource& source,
                                              std::function<void()> end_notice) = 0;
};

// The backend the interpreter uses: GStreamer's playbin to the default audio output, in the
// "media" module, loaded by the first call (module_loader.h). Without the module, a backend
// that names and opens nothing. User-interface thread.
MediaBackend& gstreamer_media_backend();

}  // namespace wavlon::platform
