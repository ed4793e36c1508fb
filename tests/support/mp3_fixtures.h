// MP3 files for tests, encoded at test time with `lame` from generated sound, and a way to
// serve them from a LocalHttpServer.
//
// Files are made once per test process in a temporary folder (removed at exit) and reused.
// Encoding failures throw std::runtime_error naming the command.
#pragma once

#include <cstdint>
#include <string>

#include "support/local_http_server.h"

namespace wavlon::testing {

enum class Mp3Kind {
    CbrNoTag,  // 10 s stereo 44.1 kHz sine, 128 kbit/s, no Xing/Info frame (lame -t)
    Vbr,       // 10 s stereo 44.1 kHz sine, VBR with its Xing and LAME tag
    Mono,      // 6 s mono 44.1 kHz sine, VBR with its Xing tag
    Short,     // 3 s stereo 44.1 kHz sine, 128 kbit/s with an Info tag
    Long,      // 20 min mono 22.05 kHz silence (MPEG-2), 32 kbit/s, no tag
    // 6 s stereo 44.1 kHz, 0.5 s of loud noise then silence, VBR (lame -V 0) without its Xing
    // frame: its first frame's bit rate (320 kbit/s) makes the file look about 1 s long.
    FallingVbrNoTag,
};

// Path of the file of this kind.
const std::string& mp3_file(Mp3Kind kind);
// The length of the sound that was encoded, in milliseconds.
std::int64_t mp3_sound_length_ms(Mp3Kind kind);
// A short name for test output ("cbr", "vbr", ...).
const char* mp3_kind_name(Mp3Kind kind);

// A copy of the file of `kind` under `name` in the fixture folder (any name, also non-ASCII
// UTF-8); made once.
std::string mp3_copy_named(Mp3Kind kind, const std::string& name);
// A file of random bytes (fixed seed) named `name`, e.g. "corrupt.mp3".
std::string random_bytes_file(const std::string& name, std::size_t size);

// The whole content of a file.
std::string read_file_bytes(const std::string& path);

// The reply to a GET of `body` as audio/mpeg. With `content_length`, the reply carries
// Content-Length and Accept-Ranges and answers "Range: bytes=a-[b]" with 206; without, it is
// sent whole and the connection closes after it, so the length is never announced.
HttpReply mp3_reply(const HttpRequest& request, const std::string& body, bool content_length);

}  // namespace wavlon::testing
