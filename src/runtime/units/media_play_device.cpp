#include "runtime/units/media_play_device.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <random>
#include <thread>
#include <utility>

#include "platform/media_control.h"
#include "runtime/media_play_state.h"
#include "runtime/message_loop.h"

namespace wavlon::units {
namespace {

// A device alias no other device of the process has: 32 random hex digits, the first a letter
// (a device name that begins with a digit could be read as a device number).
runtime::Text new_alias() {
    static std::random_device source;
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string alias;
    for (int word = 0; word < 4; ++word) {
        std::uint32_t bits = source();
        for (int digit = 0; digit < 8; ++digit, bits >>= 4) {
            alias += kDigits[bits & 0xF];
        }
    }
    alias[0] = static_cast<char>('a' + (alias[0] % 6));
    return runtime::Text(alias);
}

// The leading decimal integer of an answer (0 without digits), held to 32 bits.
std::int32_t leading_integer(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
        ++i;
    }
    bool negative = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        ++i;
    }
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = std::min<std::int64_t>(value * 10 + (text[i] - '0'), std::int64_t{1} << 32);
    }
    value = negative ? -value : value;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

struct DeviceTypeRow {
    std::array<std::string_view, 11> extensions;
    std::string_view device_type;
};

// Tested in order; the first row naming the extension wins.
constexpr DeviceTypeRow kDeviceTypes[] = {
    {{"avi"}, "avivideo"},
    {{"wav"}, "waveaudio"},
    {{"cda"}, "cdaudio"},
    {{"rm", "ra", "mp3", "ram", "rmvb"}, "MPEGvideo"},
    {{"mid", "rmi", "idi"}, "Sequencer"},
    {{"asf", "wma", "asx", "ivf", "lsf", "lsx", "p2v", "wax", "wvx", "wmx", "wmp"}, "MPEGvideo2"},
};

std::function<void()>& end_listener() {
    static std::function<void()> listener;
    return listener;
}

// On a thread of the media backend: the end goes to the user-interface thread's event loop.
void post_end() {
    runtime::post_to_message_loop([] {
        if (end_listener()) {
            end_listener()();
        }
    });
}

}  // namespace

void MediaPlayDevice::set_end_listener(std::function<void()> listener) {
    end_listener() = std::move(listener);
    platform::set_media_end_listener(end_listener() ? post_end : std::function<void()>());
}

MediaPlayDevice::MediaPlayDevice() : MediaPlayDevice(new_alias()) {}

MediaPlayDevice::MediaPlayDevice(runtime::Text alias) {
    m_record.alias = std::move(alias);
}

MediaPlayDevice::~MediaPlayDevice() {
    close();
}

std::string_view MediaPlayDevice::device_type_for(runtime::TextView extension) {
    for (const DeviceTypeRow& row : kDeviceTypes) {
        for (std::string_view named : row.extensions) {
            if (!named.empty() && named == extension.bytes()) {
                return row.device_type;
            }
        }
    }
    return "MPEGvideo";
}

runtime::Text MediaPlayDevice::extension_of(const runtime::Text& file) {
    std::size_t dot = file.rfind('.');
    std::size_t i = dot == runtime::Text::npos ? 0 : dot + 1;
    runtime::Text extension;
    for (int taken = 0; taken < 3 && i < file.size(); ++taken) {
        std::size_t size = runtime::char_size(file, i);
        for (std::size_t k = i; k < i + size; ++k) {
            char c = file[k];
            extension += size == 1 && c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        }
        i += size;
    }
    return extension;
}

bool MediaPlayDevice::send(std::string_view verb, std::string_view rest, std::string* answer) {
    std::string command(verb);
    command += ' ';
    command += m_record.alias.bytes();  // ASCII: made by new_alias
    command += rest;
    return platform::send_media_command(command, answer);
}

bool MediaPlayDevice::open(const runtime::Text& file) {
    send("close");
    m_record.file_name = file;
    m_record.extension = extension_of(file);
    std::string_view type = device_type_for(m_record.extension);
    bool opened = platform::open_media(std::string(type), runtime::gbk_to_file_name(file),
                                       m_record.alias.bytes());
    const runtime::Text& e = m_record.extension;
    m_record.video_flag = e == "mp3" || e == "wav" || e == "cda" || e == "mid" ? 0 : 1;
    if (m_record.video_flag == 1 && m_record.video_window != 0) {
        send("window", " handle " + std::to_string(m_record.video_window));
    }
    return opened;
}

bool MediaPlayDevice::close() {
    return send("close");
}

std::int32_t MediaPlayDevice::get_state() {
    std::string mode;
    namespace state = runtime::media_play;
    if (!send("status", " mode", &mode)) {
        return state::kNothingOpen;
    }
    return mode == "playing"   ? state::kPlaying
           : mode == "stopped" ? state::kStopped
           : mode == "paused"  ? state::kPaused
                               : state::kNothingOpen;
}

std::int32_t MediaPlayDevice::get_length() {
    std::this_thread::yield();
    std::string answer;
    send("status", " window handle", &answer);
    send("set", " time format milliseconds");
    if (!send("status", " length", &answer)) {
        return 0;
    }
    return leading_integer(answer);
}

std::int32_t MediaPlayDevice::get_position() {
    std::string answer;
    if (!send("status", " position", &answer)) {
        return -1;
    }
    return leading_integer(answer);
}

std::int32_t MediaPlayDevice::get_length_seconds() {
    return get_length() / 1000;
}

bool MediaPlayDevice::play(std::int32_t position, std::optional<std::int32_t> window) {
    m_record.pause_flag = 0;
    bool window_ok = true;
    if (window && m_window_check && m_window_check(*window)) {
        m_record.video_window = *window;
        window_ok = send("window", " handle " + std::to_string(*window));
    }
    bool played = position == runtime::media_play::kFromCurrentPosition
                      ? send("play")
                      : send("play", " from " + std::to_string(position));
    return window_ok && played;
}

bool MediaPlayDevice::toggle_pause() {
    bool ok = m_record.pause_flag == 1 ? send("resume") : send("pause");
    m_record.pause_flag ^= 1;
    return ok;
}

bool MediaPlayDevice::stop() {
    if (!send("stop")) {
        return false;
    }
    send("seek", " to start");
    return true;
}

}  // namespace wavlon::units
