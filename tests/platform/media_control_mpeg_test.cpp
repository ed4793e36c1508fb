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

const std::string k320 = bytes({0xFF, 0xFB, 0xE0, 0x64});  // 320 kbit/s, 44.1 kHz: 1044 bytes
const std::string k32 = bytes({0xFF, 0xFB, 0x10, 0x64});   // 32 kbit/s, 44.1 kHz: 104 bytes

// The chain's length for the frames of `stream` from its first one on, fed in `piece`s.
std::pair<std::uint64_t, std::int64_t> walk(const std::string& stream, std::size_t piece,
                                            std::uint32_t summary_bytes = 0) {
    StreamInfo info = *probe_stream(stream);
    info.summary_frame_bytes = summary_bytes;
    FrameChain chain(info);
    for (std::size_t at = info.audio_offset; at < stream.size(); at += piece) {
        chain.feed(std::string_view(stream).substr(at, piece));
    }
    EXPECT_EQ(chain.bytes_fed(), stream.size() - info.audio_offset);
    return {chain.frames(), chain.length_ms()};
}

// A loud start at a high bit rate and a quiet end at a low one: the first frame's rate would
// make 200 frames (5.2 s) last 1.4 s.
TEST(MpegFrameChain, CountsEveryFrameWhateverItsBitRateAndHoweverItIsCut) {
    const std::string stream = id3_tag(700) + frames(k320, 10) + frames(k32, 190);
    for (std::size_t piece : {std::size_t(1), std::size_t(3), std::size_t(1000), stream.size()}) {
        SCOPED_TRACE(piece);
        auto [count, length] = walk(stream, piece);
        EXPECT_EQ(count, 200u);
        EXPECT_EQ(length, 200 * 1152 * 1000 / 44100);
    }
}

TEST(MpegFrameChain, SkipsJunkTagsAndTheSummaryFrame) {
    struct Case {
        const char* name;
        std::string stream;
        std::uint32_t summary_bytes;
        std::uint64_t frames;
    };
    const Case cases[] = {
        {"junk between frames", frames(kMpeg1Layer3, 5) + std::string(37, 'j') + frames(k32, 5), 0,
         10},
        {"ID3v1 tag at the end", frames(k32, 8) + "TAG" + std::string(125, 'x'), 0, 8},
        {"frame of another stream",
         frames(k32, 3) + frames(bytes({0xFF, 0xF3, 0x40, 0xC4}), 1) + frames(k32, 3), 0, 6},
        {"summary frame", frames(kMpeg1Layer3, 1) + frames(k32, 4), 417, 4},
        {"cut in a header", frames(k32, 4) + k32.substr(0, 3), 0, 4},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(walk(c.stream, 5, c.summary_bytes).first, c.frames) << c.name;
    }
}

TEST(MpegFindFrame, FindsTheNextFrameOfTheStreamFromAnywhere) {
    const FrameHeader like = *parse_frame_header(k320);
    // From inside a frame: its body holds no header, and the next frame is found.
    std::optional<FrameHeader> found = find_frame(std::string(50, '\0') + frames(k32, 2), like);
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->bitrate, 32000);
    // A header whose next one does not agree is a stray sync, not a frame.
    found = find_frame(k320 + std::string(1100, 'x') + frames(k32, 2), like);
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->bitrate, 32000);
    // Frames of another stream, and no frame at all, give nothing.
    EXPECT_FALSE(find_frame(frames(bytes({0xFF, 0xF3, 0x40, 0xC4}), 3), like).has_value());
    EXPECT_FALSE(find_frame(std::string(4096, 'a'), like).has_value());
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
