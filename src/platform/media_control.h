// Media-control command strings: the small command language a media device speaks, on
// GStreamer.
//
// Each alias names one open source, played by the media backend (media_backend.h: GStreamer's
// `playbin` to the system's default audio output; audio only, no video window is ever made).
// Commands, case-insensitive, with <alias> the alias given at open:
//
//   open <element> type <device type> alias <alias>     element quoted when it holds spaces
//   close <alias>
//   play <alias> [from <ms>]
//   pause <alias>  /  resume <alias>  /  stop <alias>  /  seek <alias> to start
//   status <alias> mode | position | length | window handle
//   set <alias> time format milliseconds
//   window <alias> handle <n>
//
// "status … mode" answers "playing", "paused" or "stopped"; positions and lengths are decimal
// milliseconds. A stream that plays to its end or fails stops by itself ("stopped"; at the end
// its position equals its length); that is seen by the next command or status query, as no
// main loop runs. "play" without a position at the end of a stream starts it again from the
// start, as a player's play button does. "stop" keeps the position; "seek … to start" returns.
// "status … length" fails while a length is unknown (a stream that tells neither its duration
// nor its size); reaching the end makes it known. A file's length is exact: the frames of a
// variable bit rate without a frame count are counted at open (for at most 2 s; the rest of a
// larger file is estimated). A stream's length is an estimate until its end unless the stream
// carries a frame count: the position is not held to it, the length answered stays ahead of
// the position while the stream plays, and the end makes it exact. A window handle is only
// kept and answered.
//
// Thread: call from one thread only (the user-interface thread); every call is synchronous.
// open blocks until the source is prerolled and its length known, or has failed: at most 15 s
// for an http(s) address and 5 s for a file. Other commands return at once, except the two
// that must reopen a source from its start (play after a stream error, "seek … to start" in
// a stream that cannot seek), which wait as long as open.
//
// Failure is the result: false for an unknown command or alias, a source that cannot be
// opened, a position out of range or a command the stream cannot follow (a seek in a stream
// that does not allow one). Nothing is shown; a missing GStreamer plugin is reported once on
// standard error.
//
// On Windows the same commands go to the system's MCI, which opens, decodes and plays by
// itself: device types and answers are MCI's own (a type it does not know fails), and the
// end listener is told from MCI's notification, on a thread of this layer.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace wavlon::platform {

// Runs one command (UTF-8). `answer`, when given, receives the answer text ("" when the
// command has none or fails). Returns true when the command succeeded.
bool send_media_command(const std::string& command, std::string* answer = nullptr);

// The open command with its parts given separately: `element` is a local path or an
// http(s) address (UTF-8, used as given), `device_type` the device's type name. Every type
// reaches the same player except "cdaudio", which has no device here and fails. An alias that
// is empty or already open fails and leaves the open one as it was.
bool open_media(const std::string& device_type, const std::string& element,
                const std::string& alias);

// `listener` is told each time an open source plays to its end, at once and on a thread of the
// backend: it must hand the notice to its own thread and not call this layer from there. The
// source's next command or status query shows the end. An empty function removes it.
void set_media_end_listener(std::function<void()> listener);

// Test seam: `observer` sees every command before it runs, open_media's as the equivalent
// command string (`open "<element>" type <type> alias <alias>`). An empty function removes it.
void set_media_command_observer(std::function<void(const std::string&)> observer);

// The stderr lines naming each plugin the layer needs that `exists` (a GStreamer element
// factory lookup) does not find; empty when all are there.
std::vector<std::string> missing_media_plugins(const std::function<bool(const char*)>& exists);

}  // namespace wavlon::platform
