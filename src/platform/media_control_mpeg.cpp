#include "platform/media_control_mpeg.h"

#include <algorithm>
#include <array>
#include <limits>

namespace wavlon::platform::mpeg {
namespace {

// Bit rates in kbit/s by [table][index]; index 0 (free format) and 15 (bad) are rejected.
constexpr std::array<std::array<int, 15>, 5> kBitrates = {{
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},  // MPEG-1 layer I
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},     // MPEG-1 layer II
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},      // MPEG-1 layer III
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},     // MPEG-2/2.5 layer I
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},          // MPEG-2/2.5 II, III
}};

unsigned byte_at(std::string_view s, std::size_t i) {
    return static_cast<unsigned char>(s[i]);
}

std::uint32_t be32(std::string_view s, std::size_t i) {
    return (std::uint32_t{byte_at(s, i)} << 24) | (std::uint32_t{byte_at(s, i + 1)} << 16) |
           (std::uint32_t{byte_at(s, i + 2)} << 8) | std::uint32_t{byte_at(s, i + 3)};
}

// Frames of one stream share version, layer and sample rate; the bit rate may vary.
bool same_stream(const FrameHeader& a, const FrameHeader& b) {
    return a.version == b.version && a.layer == b.layer && a.sample_rate == b.sample_rate;
}

// Total size of an ID3v2 tag starting at `s`, or 0 when `s` does not start with a valid one.
std::uint64_t id3v2_size(std::string_view s) {
    if (s.size() < 10 || s.substr(0, 3) != "ID3" || byte_at(s, 3) == 0xFF ||
        byte_at(s, 4) == 0xFF) {
        return 0;
    }
    std::uint64_t size = 0;
    for (std::size_t i = 6; i < 10; ++i) {
        if (byte_at(s, i) >= 0x80) {
            return 0;
        }
        size = (size << 7) | byte_at(s, i);
    }
    bool footer = (byte_at(s, 5) & 0x10) != 0;
    return 10 + size + (footer ? 10 : 0);
}

// Length of the frame count found in a Xing/Info or VBRI frame, if any.
struct Summary {
    bool present = false;
    std::optional<std::int64_t> length_ms;
};

std::optional<std::int64_t> frames_to_ms(std::uint64_t frames, const FrameHeader& h,
                                         std::uint64_t trimmed_samples) {
    if (frames == 0) {
        return std::nullopt;
    }
    std::uint64_t samples = frames * static_cast<std::uint64_t>(h.samples_per_frame);
    if (trimmed_samples < samples) {
        samples -= trimmed_samples;
    }
    return static_cast<std::int64_t>(samples * 1000 / static_cast<std::uint64_t>(h.sample_rate));
}

Summary read_summary(std::string_view frame, const FrameHeader& h) {
    Summary summary;
    int side_info = h.version == 10 ? (h.channels == 1 ? 17 : 32) : (h.channels == 1 ? 9 : 17);
    for (std::size_t at : {std::size_t(4 + side_info), std::size_t(6 + side_info)}) {
        if (at + 8 > frame.size()) {
            continue;
        }
        std::string_view tag = frame.substr(at, 4);
        if (tag != "Xing" && tag != "Info") {
            continue;
        }
        summary.present = true;
        std::uint32_t flags = be32(frame, at + 4);
        std::size_t p = at + 8;
        std::uint64_t frames = 0;
        if ((flags & 1) != 0) {
            if (p + 4 > frame.size()) {
                return summary;
            }
            frames = be32(frame, p);
            p += 4;
        }
        p += ((flags & 2) != 0 ? 4 : 0) + ((flags & 4) != 0 ? 100 : 0) + ((flags & 8) != 0 ? 4 : 0);
        // A LAME tag after the Xing fields records the encoder delay and padding in samples.
        std::uint64_t trimmed = 0;
        if (p + 24 <= frame.size()) {
            std::string_view encoder = frame.substr(p, 4);
            if (encoder == "LAME" || encoder == "Lavf" || encoder == "Lavc") {
                unsigned b0 = byte_at(frame, p + 21);
                unsigned b1 = byte_at(frame, p + 22);
                unsigned b2 = byte_at(frame, p + 23);
                trimmed = ((b0 << 4) | (b1 >> 4)) + (((b1 & 0x0F) << 8) | b2);
            }
        }
        summary.length_ms = frames_to_ms(frames, h, trimmed);
        return summary;
    }
    if (frame.size() >= 36 + 18 && frame.substr(36, 4) == "VBRI") {
        summary.present = true;
        summary.length_ms = frames_to_ms(be32(frame, 36 + 14), h, 0);
    }
    return summary;
}

}  // namespace

std::optional<FrameHeader> parse_frame_header(std::string_view bytes) {
    if (bytes.size() < 4 || byte_at(bytes, 0) != 0xFF || (byte_at(bytes, 1) & 0xE0) != 0xE0) {
        return std::nullopt;
    }
    unsigned version_bits = (byte_at(bytes, 1) >> 3) & 3;
    unsigned layer_bits = (byte_at(bytes, 1) >> 1) & 3;
    unsigned bitrate_index = byte_at(bytes, 2) >> 4;
    unsigned rate_index = (byte_at(bytes, 2) >> 2) & 3;
    if (version_bits == 1 || layer_bits == 0 || bitrate_index == 0 || bitrate_index == 15 ||
        rate_index == 3) {
        return std::nullopt;
    }
    FrameHeader h;
    h.version = version_bits == 3 ? 10 : version_bits == 2 ? 20 : 25;
    h.layer = 4 - static_cast<int>(layer_bits);
    h.crc = (byte_at(bytes, 1) & 1) == 0;
    std::size_t table = h.version == 10 ? static_cast<std::size_t>(h.layer - 1)
                        : h.layer == 1  ? 3
                                        : 4;
    h.bitrate = kBitrates[table][bitrate_index] * 1000;
    static constexpr int kRates[3] = {44100, 48000, 32000};
    h.sample_rate = kRates[rate_index] / (h.version == 10 ? 1 : h.version == 20 ? 2 : 4);
    h.channels = (byte_at(bytes, 3) >> 6) == 3 ? 1 : 2;
    int padding = (byte_at(bytes, 2) >> 1) & 1;
    if (h.layer == 1) {
        h.samples_per_frame = 384;
        h.frame_bytes = (12 * h.bitrate / h.sample_rate + padding) * 4;
    } else {
        h.samples_per_frame = h.layer == 3 && h.version != 10 ? 576 : 1152;
        h.frame_bytes = h.samples_per_frame / 8 * h.bitrate / h.sample_rate + padding;
    }
    return h;
}

std::optional<FrameHeader> find_frame(std::string_view bytes, const FrameHeader& like) {
    for (std::size_t pos = 0; pos + 4 <= bytes.size(); ++pos) {
        if (byte_at(bytes, pos) != 0xFF) {
            continue;
        }
        std::optional<FrameHeader> h = parse_frame_header(bytes.substr(pos));
        if (!h || !same_stream(*h, like)) {
            continue;
        }
        std::size_t next = pos + static_cast<std::size_t>(h->frame_bytes);
        if (next + 4 <= bytes.size()) {
            std::optional<FrameHeader> n = parse_frame_header(bytes.substr(next));
            if (!n || !same_stream(*n, like)) {
                continue;
            }
        }
        return h;
    }
    return std::nullopt;
}

FrameChain::FrameChain(const StreamInfo& info)
    : m_first(info.first), m_skip(info.summary_frame_bytes) {}

void FrameChain::feed(std::string_view bytes) {
    m_fed += bytes.size();
    while (!bytes.empty()) {
        if (m_skip > 0) {
            auto n = static_cast<std::size_t>(std::min<std::uint64_t>(m_skip, bytes.size()));
            bytes.remove_prefix(n);
            m_skip -= n;
            continue;
        }
        std::size_t take = std::min<std::size_t>(4 - m_header.size(), bytes.size());
        m_header.append(bytes.substr(0, take));
        bytes.remove_prefix(take);
        if (m_header.size() < 4) {
            return;
        }
        std::optional<FrameHeader> h = parse_frame_header(m_header);
        if (h && same_stream(*h, m_first)) {
            ++m_frames;
            m_samples += static_cast<std::uint64_t>(h->samples_per_frame);
            m_skip = static_cast<std::uint64_t>(h->frame_bytes) - 4;
            m_header.clear();
        } else {
            // Out of step: the next header can only start at a later 0xFF byte.
            std::size_t sync = m_header.find('\xFF', 1);
            if (sync != std::string::npos) {
                m_header.erase(0, sync);
            } else {
                m_header.clear();
                std::size_t next = bytes.find('\xFF');
                bytes.remove_prefix(next == std::string_view::npos ? bytes.size() : next);
            }
        }
    }
}

std::int64_t FrameChain::length_ms() const {
    return static_cast<std::int64_t>(m_samples * 1000 /
                                     static_cast<std::uint64_t>(m_first.sample_rate));
}

std::optional<StreamInfo> probe_stream(std::string_view head, std::uint64_t head_offset) {
    std::size_t pos = 0;
    while (std::uint64_t tag = id3v2_size(head.substr(pos))) {
        if (tag >= head.size() - pos) {
            return std::nullopt;
        }
        pos += static_cast<std::size_t>(tag);
    }
    for (; pos + 4 <= head.size(); ++pos) {
        if (byte_at(head, pos) != 0xFF) {
            continue;
        }
        std::optional<FrameHeader> h = parse_frame_header(head.substr(pos));
        if (!h) {
            continue;
        }
        std::size_t next = pos + static_cast<std::size_t>(h->frame_bytes);
        if (next + 4 <= head.size()) {
            std::optional<FrameHeader> n = parse_frame_header(head.substr(next));
            if (!n || !same_stream(*n, *h)) {
                continue;
            }
        }
        StreamInfo info;
        info.audio_offset = head_offset + pos;
        info.first = *h;
        Summary summary =
            read_summary(head.substr(pos, static_cast<std::size_t>(h->frame_bytes)), *h);
        if (summary.present) {
            info.summary_frame_bytes = static_cast<std::uint32_t>(h->frame_bytes);
            info.summary_length_ms = summary.length_ms;
        }
        return info;
    }
    return std::nullopt;
}

std::int64_t estimate_length_ms(const StreamInfo& info, std::uint64_t total_bytes,
                                std::uint64_t trailing_tag) {
    std::uint64_t skipped = info.audio_offset + info.summary_frame_bytes + trailing_tag;
    if (total_bytes <= skipped || info.first.bitrate <= 0) {
        return 0;
    }
    std::uint64_t audio = total_bytes - skipped;
    // bytes * 8000 / bit rate, split so that no step overflows.
    auto rate = static_cast<std::uint64_t>(info.first.bitrate);
    std::uint64_t whole = audio / rate;
    if (whole > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) / 8000) {
        return std::numeric_limits<std::int64_t>::max();
    }
    return static_cast<std::int64_t>(whole * 8000 + (audio % rate) * 8000 / rate);
}

void StreamHead::feed(std::string_view bytes) {
    while (!bytes.empty() && !complete()) {
        if (m_in_audio) {
            std::size_t take = std::min(kWanted - m_kept.size(), bytes.size());
            m_kept.append(bytes.substr(0, take));
            bytes.remove_prefix(take);
            m_offset += take;
            continue;
        }
        if (m_offset < m_skip_until) {
            auto skip = static_cast<std::size_t>(
                std::min<std::uint64_t>(m_skip_until - m_offset, bytes.size()));
            bytes.remove_prefix(skip);
            m_offset += skip;
            continue;
        }
        std::size_t take = std::min<std::size_t>(10 - m_pending.size(), bytes.size());
        m_pending.append(bytes.substr(0, take));
        bytes.remove_prefix(take);
        m_offset += take;
        bool may_be_tag;
        if (m_pending.size() < 10) {
            std::size_t n = std::min<std::size_t>(m_pending.size(), 3);
            may_be_tag = m_pending.compare(0, n, "ID3", n) == 0;
        } else {
            may_be_tag = id3v2_size(m_pending) != 0;
        }
        if (may_be_tag && m_pending.size() == 10) {
            m_skip_until = m_offset - 10 + id3v2_size(m_pending);
            m_pending.clear();
        } else if (!may_be_tag) {
            m_in_audio = true;
            m_data_offset = m_offset - m_pending.size();
            m_kept = std::move(m_pending);
            m_pending.clear();
        }
    }
}

}  // namespace wavlon::platform::mpeg
