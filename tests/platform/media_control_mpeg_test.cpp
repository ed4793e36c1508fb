#include "platform/media_control_mpeg.h"

#include <gtest/gtest.h>

#include <limits>

namespace wavlon::platform::mpeg {
namespace {

std::string bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) {
        out += static_cast<char>(v);
    }
    return out;
}

// `count` frames of the header `header` (its frame size taken from the header), zero-filled.
std::string frames(const std::string& header, int count) {
    std::string out;
    auto size = static_cast<std::size_t>(parse_frame_header(header)->frame_bytes);
    for (int i = 0; i < count; ++i) {
        out += header + std::string(size - header.size(), '\0');
    }
    return out;
}

// An ID3v2.3 tag of `body` bytes.
std::string id3_tag(std::size_t body, char fill = 'x') {
    std::string tag = "ID3" + bytes({3, 0, 0});
    for (int shift : {21, 14, 7, 0}) {
        tag += static_cast<char>((body >> shift) & 0x7F);
    }
    return tag + std::string(body, fill);
}

const std::string kMpeg1Layer3 = bytes({0xFF, 0xFB, 0x90, 0x64});  // 128 kbit/s, 44.1 kHz

TEST(MpegFrameHeader, DecodesEveryVersionAndLayer) {
    struct Case {
        std::string header;
        int version, layer, bitrate, rate, channels, samples, size;
    };
    const Case cases[] = {
        {kMpeg1Layer3, 10, 3, 128000, 44100, 2, 1152, 417},
        {bytes({0xFF, 0xFB, 0x92, 0x64}), 10, 3, 128000, 44100, 2, 1152, 418},  // padded
        {bytes({0xFF, 0xF3, 0x40, 0xC4}), 20, 3, 32000, 22050, 1, 576, 104},
        {bytes({0xFF, 0xE3, 0x18, 0xC4}), 25, 3, 8000, 8000, 1, 576, 72},
        {bytes({0xFF, 0xFD, 0xA4, 0x00}), 10, 2, 192000, 48000, 2, 1152, 576},
        {bytes({0xFF, 0xFE, 0x90, 0x00}), 10, 1, 288000, 44100, 2, 384, 312},  // with CRC
    };
    for (const Case& c : cases) {
        std::optional<FrameHeader> h = parse_frame_header(c.header);
        ASSERT_TRUE(h.has_value());
        EXPECT_EQ(h->version, c.version);
        EXPECT_EQ(h->layer, c.layer);
        EXPECT_EQ(h->bitrate, c.bitrate);
        EXPECT_EQ(h->sample_rate, c.rate);
        EXPECT_EQ(h->channels, c.channels);
        EXPECT_EQ(h->samples_per_frame, c.samples);
        EXPECT_EQ(h->frame_bytes, c.size);
    }
}

TEST(MpegFrameHeader, RejectsReservedAndUnusableFields) {
    for (const std::string& header : {
             bytes({0xFF, 0xFB, 0x90}),        // cut short
             bytes({0xFF, 0x7B, 0x90, 0x64}),  // no sync
             bytes({0xFF, 0xEB, 0x90, 0x64}),  // reserved version
             bytes({0xFF, 0xF9, 0x90, 0x64}),  // reserved layer
             bytes({0xFF, 0xFB, 0x00, 0x64}),  // free format
             bytes({0xFF, 0xFB, 0xF0, 0x64}),  // bad bit rate
             bytes({0xFF, 0xFB, 0x9C, 0x64}),  // reserved sample rate
         }) {
        EXPECT_FALSE(parse_frame_header(header).has_value());
    }
}

TEST(MpegStreamProbe, SkipsTagsAndSyncBytesThatAreNotFollowedByAFrame) {
    // Frames inside the tag are tag data; after it, a lone header and a cut one are not frames.
    std::string tag = id3_tag(1000);
    tag.replace(100, 834, frames(kMpeg1Layer3, 2));
    std::string stream = tag + kMpeg1Layer3 + std::string(20, '\0') + kMpeg1Layer3.substr(0, 2) +
                         std::string(5, '\0') + frames(kMpeg1Layer3, 3);
    std::optional<StreamInfo> info = probe_stream(stream);
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->audio_offset, tag.size() + 31);
    EXPECT_EQ(info->first.bitrate, 128000);
    EXPECT_FALSE(info->summary_length_ms.has_value());
    EXPECT_EQ(info->summary_frame_bytes, 0u);

    // A tag that runs past the bytes at hand, and bytes without any frame, give nothing.
    EXPECT_FALSE(probe_stream(id3_tag(1000).substr(0, 500)).has_value());
    EXPECT_FALSE(probe_stream(std::string(4096, 'a')).has_value());
    EXPECT_FALSE(probe_stream("").has_value());
}

TEST(MpegStreamProbe, OffsetsCountFromWhereTheHeadStarts) {
    std::optional<StreamInfo> info = probe_stream(frames(kMpeg1Layer3, 2), 5000);
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->audio_offset, 5000u);
}

TEST(MpegLengthEstimate, DividesAudioBytesByTheBitRate) {
    StreamInfo info;
    info.first = *parse_frame_header(kMpeg1Layer3);
    info.audio_offset = 2000;
    EXPECT_EQ(estimate_length_ms(info, 2000 + 160000), 10000);
    EXPECT_EQ(estimate_length_ms(info, 2000 + 160000 + 128, 128), 10000);
    EXPECT_EQ(estimate_length_ms(info, 2000), 0);
    EXPECT_EQ(estimate_length_ms(info, 100), 0);
    info.summary_frame_bytes = 417;
    EXPECT_EQ(estimate_length_ms(info, 2000 + 417 + 16000), 1000);
    // An absurd size announced by a server saturates instead of overflowing.
    info.first = *parse_frame_header(bytes({0xFF, 0xE3, 0x18, 0xC4}));  // 8 kbit/s
    EXPECT_EQ(estimate_length_ms(info, std::numeric_limits<std::uint64_t>::max()),
              std::numeric_limits<std::int64_t>::max());
}

TEST(MpegStreamHead, KeepsTheSameBytesHoweverTheStreamIsCut) {
    std::string audio = frames(kMpeg1Layer3, 60);
    std::string stream = id3_tag(5000) + id3_tag(300) + audio;
    for (std::size_t piece : {std::size_t(1), std::size_t(7), std::size_t(4096), stream.size()}) {
        SCOPED_TRACE(piece);
        StreamHead head;
        for (std::size_t at = 0; at < stream.size(); at += piece) {
            head.feed(std::string_view(stream).substr(at, piece));
        }
        EXPECT_TRUE(head.complete());
        EXPECT_EQ(head.data_offset(), 5010u + 310u);
        EXPECT_EQ(head.data(), audio.substr(0, StreamHead::kWanted));
    }
}

TEST(MpegStreamHead, ShortStreamsAreKeptWhole) {
    for (const std::string& stream : {std::string("abc"), std::string("IDx") + kMpeg1Layer3,
                                      std::string("ID3") + bytes({0xFF, 0, 0, 0, 0, 0, 0})}) {
        StreamHead head;
        head.feed(stream);
        EXPECT_FALSE(head.complete());
        EXPECT_EQ(head.data(), stream);
        EXPECT_EQ(head.data_offset(), 0u);
    }
}

}  // namespace
}  // namespace wavlon::platform::mpeg
