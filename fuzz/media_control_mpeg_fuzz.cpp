// The MPEG stream-head reader on received bytes: fed in uneven pieces, then probed and used
// for a length estimate, as the media-control layer does with the start of an address; and
// the frame walk and frame search it does on local files.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/media_control_mpeg.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace wavlon::platform::mpeg;
    std::string_view input(reinterpret_cast<const char*>(data), size);
    StreamHead head;
    std::size_t piece = size > 0 ? 1 + data[0] % 97 : 1;
    for (std::size_t at = 0; at < input.size(); at += piece) {
        head.feed(input.substr(at, piece));
    }
    if (auto info = probe_stream(head.data(), head.data_offset())) {
        estimate_length_ms(*info, size, 128);
    }
    if (auto info = probe_stream(input)) {
        estimate_length_ms(*info, static_cast<std::uint64_t>(size) << 40);
        // The frame walk of a local file, over the same bytes in the same pieces.
        FrameChain chain(*info);
        for (std::size_t at = static_cast<std::size_t>(info->audio_offset); at < input.size();
             at += piece) {
            chain.feed(input.substr(at, piece));
        }
        chain.length_ms();
        find_frame(input, info->first);
    }
    parse_frame_header(input);
    return 0;
}
