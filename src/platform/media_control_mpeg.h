// MPEG audio stream heads: frame headers, the Xing/Info/VBRI summary frame and the length
// estimate the media-control layer falls back on when the pipeline cannot tell a duration.
//
// Pure functions on bytes; nothing here touches GStreamer. Every function takes arbitrary
// input (received data included) and reads only inside the bytes it is given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace wavlon::platform::mpeg {

struct FrameHeader {
    int version = 0;  // 10 = MPEG-1, 20 = MPEG-2, 25 = MPEG-2.5
    int layer = 0;    // 1, 2 or 3
    bool crc = false;
    int bitrate = 0;      // bits per second
    int sample_rate = 0;  // Hz
    int channels = 0;     // 1 or 2
    int samples_per_frame = 0;
    int frame_bytes = 0;  // whole frame, header included
};

// Decodes the 4-byte header at the start of `bytes`. Fails on a missing sync word, reserved
// fields and free-format bit rates (whose frame size the header does not give).
std::optional<FrameHeader> parse_frame_header(std::string_view bytes);

// What the start of a stream says about its audio.
struct StreamInfo {
    std::uint64_t audio_offset = 0;  // offset of the first audio frame (after tags)
    FrameHeader first;               // header of that frame
    // Duration from a Xing/Info or VBRI frame count (encoder delay and padding of a LAME tag
    // removed), when the stream carries one; that frame is then not audio.
    std::optional<std::int64_t> summary_length_ms;
    std::uint32_t summary_frame_bytes = 0;  // size of the summary frame, 0 without one
};

// Finds the first frame in `head`, the stream's bytes from offset `head_offset` on (tags
// before it may have been skipped already). A frame counts when the next header, if `head`
// reaches it, agrees with it; this keeps stray sync bytes in tag data from matching.
std::optional<StreamInfo> probe_stream(std::string_view head, std::uint64_t head_offset = 0);

// Length in milliseconds of `total_bytes` of stream at the first frame's bit rate, as a
// constant-bit-rate estimate (what a player without a frame index reports). `trailing_tag`
// is the size of a tag at the end of the stream (128 for ID3v1), not audio.
std::int64_t estimate_length_ms(const StreamInfo& info, std::uint64_t total_bytes,
                                std::uint64_t trailing_tag = 0);

// The first frame of the same stream as `like` (same version, layer and sample rate) that
// starts at or after the beginning of `bytes`, found as probe_stream() finds one: the next
// header, when `bytes` reaches it, must agree. For sampling the bit rate inside a file.
std::optional<FrameHeader> find_frame(std::string_view bytes, const FrameHeader& like);

// Counts the frames of a stream by walking the chain of frame headers, each header giving the
// size of its frame, so that only headers are decoded. This is the length of a variable bit
// rate stream that carries no Xing/VBRI frame count. Feed the stream's bytes from
// `info.audio_offset` on, in order, in any pieces. A summary frame is skipped, not counted.
// Where no header of the stream stands where one is due (junk, a tag at the end), the walk
// looks for the next one from the following byte on.
class FrameChain {
public:
    explicit FrameChain(const StreamInfo& info);

    void feed(std::string_view bytes);
    // The length of the frames counted so far.
    std::int64_t length_ms() const;
    std::uint64_t bytes_fed() const { return m_fed; }
    std::uint64_t frames() const { return m_frames; }

private:
    FrameHeader m_first;
    std::uint64_t m_skip = 0;  // bytes of the current frame (or summary frame) still to pass
    std::string m_header;      // the bytes of a header split between two pieces
    std::uint64_t m_frames = 0;
    std::uint64_t m_samples = 0;
    std::uint64_t m_fed = 0;
};

// Collects the first bytes of a stream for probe_stream(), skipping leading ID3v2 tags without
// storing them (cover pictures can be large). Feed the stream in order, in any pieces.
class StreamHead {
public:
    static constexpr std::size_t kWanted = 16 * 1024;  // audio bytes kept after the tags

    void feed(std::string_view bytes);
    // Enough bytes kept; feeding more changes nothing.
    bool complete() const { return m_kept.size() >= kWanted; }
    std::string_view data() const { return m_kept; }
    std::uint64_t data_offset() const { return m_data_offset; }

private:
    std::string m_pending;  // bytes that may start a tag header
    std::string m_kept;
    std::uint64_t m_offset = 0;       // stream offset of the next fed byte
    std::uint64_t m_skip_until = 0;   // end of the tag being skipped
    std::uint64_t m_data_offset = 0;  // stream offset of m_kept[0]
    bool m_in_audio = false;
};

}  // namespace wavlon::platform::mpeg
