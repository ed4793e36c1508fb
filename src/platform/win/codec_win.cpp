#include <windows.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/codec.h"
#include "platform/codec_ascii.h"

namespace wavlon::platform {
namespace {

// GB18030 on the system's code page 936 (GBK). Code page 936 holds the one- and two-byte
// characters; GB18030's four-byte sequences, which it lacks, are decoded here: those above the
// BMP map linearly onto U+10000..U+10FFFF, those in the BMP through the ranges below. The
// conversion tables are built once from the system's code page, so every conversion after
// that is a table lookup and never splits or truncates a text.

constexpr char32_t kBad = 0xFFFFFFFF;  // an input unit that cannot be decoded
constexpr char32_t kReplacement = 0xFFFD;
constexpr std::uint32_t kSupplementaryLinear = 189000;  // the linear index of 0x90308130

// The BMP characters that have four-byte sequences, in runs where both the character and the
// sequence's linear index ((b1-0x81)*12600 + (b2-0x30)*1260 + (b3-0x81)*10 + (b4-0x30)) count
// up by one. Made from glibc's GB18030 converter, whose results the codec tests pin.
struct FourByteRun {
    char16_t first;
    std::uint16_t linear;
    std::uint16_t length;
};
constexpr FourByteRun kFourByteRuns[] = {
    {0x0080, 0, 36},       {0x00A5, 36, 2},      {0x00A9, 38, 7},        {0x00B2, 45, 5},
    {0x00B8, 50, 31},      {0x00D8, 81, 8},      {0x00E2, 89, 6},        {0x00EB, 95, 1},
    {0x00EE, 96, 4},       {0x00F4, 100, 3},     {0x00F8, 103, 1},       {0x00FB, 104, 1},
    {0x00FD, 105, 4},      {0x0102, 109, 17},    {0x0114, 126, 7},       {0x011C, 133, 15},
    {0x012C, 148, 24},     {0x0145, 172, 3},     {0x0149, 175, 4},       {0x014E, 179, 29},
    {0x016C, 208, 98},     {0x01CF, 306, 1},     {0x01D1, 307, 1},       {0x01D3, 308, 1},
    {0x01D5, 309, 1},      {0x01D7, 310, 1},     {0x01D9, 311, 1},       {0x01DB, 312, 1},
    {0x01DD, 313, 28},     {0x01FA, 341, 87},    {0x0252, 428, 15},      {0x0262, 443, 101},
    {0x02C8, 544, 1},      {0x02CC, 545, 13},    {0x02DA, 558, 183},     {0x03A2, 741, 1},
    {0x03AA, 742, 7},      {0x03C2, 749, 1},     {0x03CA, 750, 55},      {0x0402, 805, 14},
    {0x0450, 819, 1},      {0x0452, 820, 6637},  {0x1E40, 7458, 464},    {0x2011, 7922, 2},
    {0x2017, 7924, 1},     {0x201A, 7925, 2},    {0x201E, 7927, 7},      {0x2027, 7934, 9},
    {0x2031, 7943, 1},     {0x2034, 7944, 1},    {0x2036, 7945, 5},      {0x203C, 7950, 112},
    {0x20AD, 8062, 86},    {0x2104, 8148, 1},    {0x2106, 8149, 3},      {0x210A, 8152, 12},
    {0x2117, 8164, 10},    {0x2122, 8174, 62},   {0x216C, 8236, 4},      {0x217A, 8240, 22},
    {0x2194, 8262, 2},     {0x219A, 8264, 110},  {0x2209, 8374, 6},      {0x2210, 8380, 1},
    {0x2212, 8381, 3},     {0x2216, 8384, 4},    {0x221B, 8388, 2},      {0x2221, 8390, 2},
    {0x2224, 8392, 1},     {0x2226, 8393, 1},    {0x222C, 8394, 2},      {0x222F, 8396, 5},
    {0x2238, 8401, 5},     {0x223E, 8406, 10},   {0x2249, 8416, 3},      {0x224D, 8419, 5},
    {0x2253, 8424, 13},    {0x2262, 8437, 2},    {0x2268, 8439, 6},      {0x2270, 8445, 37},
    {0x2296, 8482, 3},     {0x229A, 8485, 11},   {0x22A6, 8496, 25},     {0x22C0, 8521, 82},
    {0x2313, 8603, 333},   {0x246A, 8936, 10},   {0x249C, 8946, 100},    {0x254C, 9046, 4},
    {0x2574, 9050, 13},    {0x2590, 9063, 3},    {0x2596, 9066, 10},     {0x25A2, 9076, 16},
    {0x25B4, 9092, 8},     {0x25BE, 9100, 8},    {0x25C8, 9108, 3},      {0x25CC, 9111, 2},
    {0x25D0, 9113, 18},    {0x25E6, 9131, 31},   {0x2607, 9162, 2},      {0x260A, 9164, 54},
    {0x2641, 9218, 1},     {0x2643, 9219, 2110}, {0x2E82, 11329, 2},     {0x2E85, 11331, 3},
    {0x2E89, 11334, 2},    {0x2E8D, 11336, 10},  {0x2E98, 11346, 15},    {0x2EA8, 11361, 2},
    {0x2EAB, 11363, 3},    {0x2EAF, 11366, 4},   {0x2EB4, 11370, 2},     {0x2EB8, 11372, 3},
    {0x2EBC, 11375, 14},   {0x2ECB, 11389, 293}, {0x2FFC, 11682, 4},     {0x3004, 11686, 1},
    {0x3018, 11687, 5},    {0x301F, 11692, 2},   {0x302A, 11694, 20},    {0x303F, 11714, 2},
    {0x3094, 11716, 7},    {0x309F, 11723, 2},   {0x30F7, 11725, 5},     {0x30FF, 11730, 6},
    {0x312A, 11736, 246},  {0x322A, 11982, 7},   {0x3232, 11989, 113},   {0x32A4, 12102, 234},
    {0x3390, 12336, 12},   {0x339F, 12348, 2},   {0x33A2, 12350, 34},    {0x33C5, 12384, 9},
    {0x33CF, 12393, 2},    {0x33D3, 12395, 2},   {0x33D6, 12397, 113},   {0x3448, 12510, 43},
    {0x3474, 12553, 298},  {0x359F, 12851, 111}, {0x360F, 12962, 11},    {0x361B, 12973, 765},
    {0x3919, 13738, 85},   {0x396F, 13823, 96},  {0x39D1, 13919, 14},    {0x39E0, 13933, 147},
    {0x3A74, 14080, 218},  {0x3B4F, 14298, 287}, {0x3C6F, 14585, 113},   {0x3CE1, 14698, 885},
    {0x4057, 15583, 264},  {0x4160, 15847, 471}, {0x4338, 16318, 116},   {0x43AD, 16434, 4},
    {0x43B2, 16438, 43},   {0x43DE, 16481, 248}, {0x44D7, 16729, 373},   {0x464D, 17102, 20},
    {0x4662, 17122, 193},  {0x4724, 17315, 5},   {0x472A, 17320, 82},    {0x477D, 17402, 16},
    {0x478E, 17418, 441},  {0x4948, 17859, 50},  {0x497B, 17909, 2},     {0x497E, 17911, 4},
    {0x4984, 17915, 1},    {0x4987, 17916, 20},  {0x499C, 17936, 3},     {0x49A0, 17939, 22},
    {0x49B8, 17961, 703},  {0x4C78, 18664, 39},  {0x4CA4, 18703, 111},   {0x4D1A, 18814, 148},
    {0x4DAF, 18962, 81},   {0x9FA6, 19043, 14},  {0x9FBC, 19065, 14404}, {0xE76C, 33469, 1},
    {0xE7C7, 7457, 1},     {0xE7C8, 33470, 1},   {0xE7E7, 33471, 13},    {0xE815, 33484, 1},
    {0xE819, 33485, 5},    {0xE81F, 33490, 7},   {0xE827, 33497, 4},     {0xE82D, 33501, 4},
    {0xE833, 33505, 8},    {0xE83C, 33513, 7},   {0xE844, 33520, 16},    {0xE856, 33536, 14},
    {0xE865, 33550, 4295}, {0xF92D, 37845, 76},  {0xF97A, 37921, 27},    {0xF996, 37948, 81},
    {0xF9E8, 38029, 9},    {0xF9F2, 38038, 26},  {0xFA10, 38064, 1},     {0xFA12, 38065, 1},
    {0xFA15, 38066, 3},    {0xFA19, 38069, 6},   {0xFA22, 38075, 1},     {0xFA25, 38076, 2},
    {0xFA2A, 38078, 998},  {0xFE1A, 39086, 22},  {0xFE32, 39108, 1},     {0xFE45, 39109, 4},
    {0xFE53, 39113, 1},    {0xFE58, 39114, 1},   {0xFE67, 39115, 1},     {0xFE6C, 39116, 149},
    {0xFF5F, 39265, 129},  {0xFFE6, 39394, 26},
};

// The two-byte sequences GB18030 reads differently from code page 936, which has private-use
// characters (or, for 0xA2E3, nothing) there.
struct TwoByteChange {
    std::uint16_t bytes;
    char32_t code;
};
constexpr TwoByteChange kTwoByteChanges[] = {
    {0xA2E3, 0x20AC},  {0xA6D9, 0xFE10}, {0xA6DA, 0xFE12},  {0xA6DB, 0xFE11},  {0xA6DC, 0xFE13},
    {0xA6DD, 0xFE14},  {0xA6DE, 0xFE15}, {0xA6DF, 0xFE16},  {0xA6EC, 0xFE17},  {0xA6ED, 0xFE18},
    {0xA6F3, 0xFE19},  {0xA8BC, 0x1E3F}, {0xA8BF, 0x1F9},   {0xA989, 0x303E},  {0xA98A, 0x2FF0},
    {0xA98B, 0x2FF1},  {0xA98C, 0x2FF2}, {0xA98D, 0x2FF3},  {0xA98E, 0x2FF4},  {0xA98F, 0x2FF5},
    {0xA990, 0x2FF6},  {0xA991, 0x2FF7}, {0xA992, 0x2FF8},  {0xA993, 0x2FF9},  {0xA994, 0x2FFA},
    {0xA995, 0x2FFB},  {0xFE50, 0x2E81}, {0xFE51, 0x20087}, {0xFE52, 0x20089}, {0xFE53, 0x200CC},
    {0xFE54, 0x2E84},  {0xFE55, 0x3473}, {0xFE56, 0x3447},  {0xFE57, 0x2E88},  {0xFE58, 0x2E8B},
    {0xFE59, 0x9FB4},  {0xFE5A, 0x359E}, {0xFE5B, 0x361A},  {0xFE5C, 0x360E},  {0xFE5D, 0x2E8C},
    {0xFE5E, 0x2E97},  {0xFE5F, 0x396E}, {0xFE60, 0x3918},  {0xFE61, 0x9FB5},  {0xFE62, 0x39CF},
    {0xFE63, 0x39DF},  {0xFE64, 0x3A73}, {0xFE65, 0x39D0},  {0xFE66, 0x9FB6},  {0xFE67, 0x9FB7},
    {0xFE68, 0x3B4E},  {0xFE69, 0x3C6E}, {0xFE6A, 0x3CE0},  {0xFE6B, 0x2EA7},  {0xFE6C, 0x215D7},
    {0xFE6D, 0x9FB8},  {0xFE6E, 0x2EAA}, {0xFE6F, 0x4056},  {0xFE70, 0x415F},  {0xFE71, 0x2EAE},
    {0xFE72, 0x4337},  {0xFE73, 0x2EB3}, {0xFE74, 0x2EB6},  {0xFE75, 0x2EB7},  {0xFE76, 0x2298F},
    {0xFE77, 0x43B1},  {0xFE78, 0x43AC}, {0xFE79, 0x2EBB},  {0xFE7A, 0x43DD},  {0xFE7B, 0x44D6},
    {0xFE7C, 0x4661},  {0xFE7D, 0x464C}, {0xFE7E, 0x9FB9},  {0xFE80, 0x4723},  {0xFE81, 0x4729},
    {0xFE82, 0x477C},  {0xFE83, 0x478D}, {0xFE84, 0x2ECA},  {0xFE85, 0x4947},  {0xFE86, 0x497A},
    {0xFE87, 0x497D},  {0xFE88, 0x4982}, {0xFE89, 0x4983},  {0xFE8A, 0x4985},  {0xFE8B, 0x4986},
    {0xFE8C, 0x499F},  {0xFE8D, 0x499B}, {0xFE8E, 0x49B7},  {0xFE8F, 0x49B6},  {0xFE90, 0x9FBA},
    {0xFE91, 0x241FE}, {0xFE92, 0x4CA3}, {0xFE93, 0x4C9F},  {0xFE94, 0x4CA0},  {0xFE95, 0x4CA1},
    {0xFE96, 0x4C77},  {0xFE97, 0x4CA2}, {0xFE98, 0x4D13},  {0xFE99, 0x4D14},  {0xFE9A, 0x4D15},
    {0xFE9B, 0x4D16},  {0xFE9C, 0x4D17}, {0xFE9D, 0x4D18},  {0xFE9E, 0x4D19},  {0xFE9F, 0x4DAE},
    {0xFEA0, 0x9FBB},
};

constexpr std::size_t kTrails = 0xFF - 0x40;  // 0x40..0xFE, with 0x7F unused

std::size_t two_byte_index(unsigned lead, unsigned trail) {
    return (lead - 0x81) * kTrails + (trail - 0x40);
}

class Tables {
public:
    Tables()
        : m_decode(126 * kTrails, 0),
          m_encode(0x10000, 0),
          m_runs_by_linear(std::begin(kFourByteRuns), std::end(kFourByteRuns)) {
        // The runs are listed by character; a few sequences were given out of that order.
        std::sort(m_runs_by_linear.begin(), m_runs_by_linear.end(),
                  [](const FourByteRun& a, const FourByteRun& b) { return a.linear < b.linear; });
        for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
            read_lead(lead);
        }
        for (const TwoByteChange& change : kTwoByteChanges) {
            m_decode[two_byte_index(change.bytes >> 8, change.bytes & 0xFF)] = change.code;
        }
        for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
            for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
                char32_t code = m_decode[two_byte_index(lead, trail)];
                if (code != 0 && code < 0x10000 && m_encode[code] == 0) {
                    m_encode[code] = static_cast<std::uint16_t>(lead << 8 | trail);
                }
            }
        }
    }

    // The character of a two-byte sequence; 0 when there is none.
    char32_t decode(unsigned lead, unsigned trail) const {
        return m_decode[two_byte_index(lead, trail)];
    }
    // The two-byte sequence of a BMP character; 0 when it has none.
    std::uint16_t encode(char32_t code) const { return m_encode[code]; }
    const std::vector<FourByteRun>& runs_by_linear() const { return m_runs_by_linear; }

private:
    // All of a lead byte's sequences in one call; one by one when one of them is not mapped.
    void read_lead(unsigned lead) {
        std::string bytes;
        for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
            if (trail != 0x7F) {
                bytes += static_cast<char>(lead);
                bytes += static_cast<char>(trail);
            }
        }
        std::array<wchar_t, 256> wide{};
        const int count = static_cast<int>(bytes.size() / 2);
        if (MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, bytes.data(),
                                static_cast<int>(bytes.size()), wide.data(),
                                static_cast<int>(wide.size())) == count) {
            for (int i = 0; i < count; ++i) {
                set(lead, static_cast<unsigned char>(bytes[2 * i + 1]), wide[i]);
            }
            return;
        }
        for (int i = 0; i < count; ++i) {
            wchar_t one[2] = {};
            if (MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, bytes.data() + 2 * i, 2, one, 2) ==
                1) {
                set(lead, static_cast<unsigned char>(bytes[2 * i + 1]), one[0]);
            }
        }
    }
    void set(unsigned lead, unsigned trail, wchar_t code) {
        m_decode[two_byte_index(lead, trail)] = static_cast<char32_t>(code);
    }

    std::vector<char32_t> m_decode;
    std::vector<std::uint16_t> m_encode;
    std::vector<FourByteRun> m_runs_by_linear;
};

const Tables& tables() {
    static const Tables instance;
    return instance;
}

bool is_trail(unsigned char b) {
    return b >= 0x40 && b <= 0xFE && b != 0x7F;
}

char32_t four_byte_char(std::uint32_t linear) {
    if (linear >= kSupplementaryLinear) {
        linear -= kSupplementaryLinear;
        return linear < 0x100000 ? 0x10000 + linear : kBad;
    }
    const std::vector<FourByteRun>& runs = tables().runs_by_linear();
    auto run = std::upper_bound(
        runs.begin(), runs.end(), linear,
        [](std::uint32_t value, const FourByteRun& r) { return value < r.linear; });
    if (run == runs.begin()) {
        return kBad;
    }
    --run;
    return linear < run->linear + run->length ? run->first + (linear - run->linear) : kBad;
}

// The linear index of a BMP character's four-byte sequence, or -1.
std::int32_t four_byte_linear(char32_t code) {
    auto run =
        std::upper_bound(std::begin(kFourByteRuns), std::end(kFourByteRuns), code,
                         [](char32_t value, const FourByteRun& r) { return value < r.first; });
    if (run == std::begin(kFourByteRuns)) {
        return -1;
    }
    --run;
    return code < run->first + run->length
               ? static_cast<std::int32_t>(run->linear + code - run->first)
               : -1;
}

// GB18030 bytes as characters; each byte that starts no valid sequence becomes kBad.
std::u32string decode_gb(std::string_view gb) {
    const Tables& table = tables();
    std::u32string out;
    out.reserve(gb.size());
    auto at = [&gb](std::size_t i) { return static_cast<unsigned char>(gb[i]); };
    for (std::size_t i = 0; i < gb.size();) {
        const unsigned char b = at(i);
        char32_t code = kBad;
        std::size_t length = 1;
        if (b < 0x80) {
            code = b;
        } else if (b != 0x80 && b != 0xFF && i + 1 < gb.size()) {
            const unsigned char b2 = at(i + 1);
            if (is_trail(b2)) {
                code = table.decode(b, b2);
                length = 2;
                if (code == 0) {
                    code = kBad;
                }
            } else if (b2 >= 0x30 && b2 <= 0x39 && i + 3 < gb.size() && at(i + 2) >= 0x81 &&
                       at(i + 2) <= 0xFE && at(i + 3) >= 0x30 && at(i + 3) <= 0x39) {
                code = four_byte_char(((b - 0x81) * 10U + (b2 - 0x30)) * 1260U +
                                      (at(i + 2) - 0x81) * 10U + (at(i + 3) - 0x30));
                length = 4;
            }
        }
        if (code == kBad) {
            length = 1;
        }
        out.push_back(code);
        i += length;
    }
    return out;
}

void append_four_bytes(std::string& out, std::uint32_t linear) {
    char bytes[4];
    bytes[3] = static_cast<char>(0x30 + linear % 10);
    linear /= 10;
    bytes[2] = static_cast<char>(0x81 + linear % 126);
    linear /= 126;
    bytes[1] = static_cast<char>(0x30 + linear % 10);
    bytes[0] = static_cast<char>(0x81 + linear / 10);
    out.append(bytes, 4);
}

// Characters as GB18030; one that it cannot hold, or kBad, becomes "?".
std::string encode_gb(std::u32string_view chars) {
    const Tables& table = tables();
    std::string out;
    out.reserve(chars.size() * 2);
    for (char32_t code : chars) {
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x10000) {
            if (std::uint16_t two = table.encode(code); two != 0) {
                out += static_cast<char>(two >> 8);
                out += static_cast<char>(two & 0xFF);
            } else if (std::int32_t linear = four_byte_linear(code); linear >= 0) {
                append_four_bytes(out, static_cast<std::uint32_t>(linear));
            } else {
                out += '?';
            }
        } else if (code <= 0x10FFFF) {
            auto change = std::find_if(std::begin(kTwoByteChanges), std::end(kTwoByteChanges),
                                       [code](const TwoByteChange& c) { return c.code == code; });
            if (change != std::end(kTwoByteChanges)) {
                out += static_cast<char>(change->bytes >> 8);
                out += static_cast<char>(change->bytes & 0xFF);
            } else {
                append_four_bytes(out, kSupplementaryLinear + (code - 0x10000));
            }
        } else {
            out += '?';
        }
    }
    return out;
}

// UTF-8 as characters; each byte that starts no well-formed sequence becomes kBad.
std::u32string decode_utf8(std::string_view s) {
    std::u32string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        std::size_t n = b < 0x80             ? 0
                        : (b & 0xE0) == 0xC0 ? 1
                        : (b & 0xF0) == 0xE0 ? 2
                        : (b & 0xF8) == 0xF0 ? 3
                                             : 4;
        char32_t code = n == 0 ? b : n == 1 ? b & 0x1F : n == 2 ? b & 0x0F : b & 0x07;
        bool ok = n < 4 && i + n < s.size();
        for (std::size_t k = 1; ok && k <= n; ++k) {
            const auto c = static_cast<unsigned char>(s[i + k]);
            ok = (c & 0xC0) == 0x80;
            code = code << 6 | (c & 0x3F);
        }
        // Overlong forms, surrogates and values above U+10FFFF are not UTF-8.
        ok = ok &&
             !((n == 1 && code < 0x80) || (n == 2 && code < 0x800) || (n == 3 && code < 0x10000) ||
               (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF);
        out.push_back(ok ? code : kBad);
        i += ok ? n + 1 : 1;
    }
    return out;
}

std::string encode_utf8(std::u32string_view chars) {
    std::string out;
    out.reserve(chars.size() * 3);
    for (char32_t code : chars) {
        if (code == kBad) {
            code = kReplacement;
        }
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | code >> 6);
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | code >> 12);
            out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | code >> 18);
            out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
            out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return out;
}

// UTF-16 as characters; an unpaired surrogate becomes kBad.
std::u32string decode_utf16(std::u16string_view s) {
    std::u32string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char32_t unit = s[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
            s[i + 1] <= 0xDFFF) {
            out.push_back(0x10000 + ((unit - 0xD800) << 10) + (s[i + 1] - 0xDC00));
            ++i;
        } else {
            out.push_back(unit >= 0xD800 && unit <= 0xDFFF ? kBad : unit);
        }
    }
    return out;
}

std::u16string encode_utf16(std::u32string_view chars) {
    std::u16string out;
    out.reserve(chars.size());
    for (char32_t code : chars) {
        if (code == kBad) {
            code = kReplacement;
        }
        if (code < 0x10000) {
            out.push_back(static_cast<char16_t>(code));
        } else {
            out.push_back(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
        }
    }
    return out;
}

using codec_ascii::is_ascii;
using codec_ascii::widen_or_narrow;

// Bytes of a code page other than the program's: a whole run through the system at once, and
// where that fails, one character at a time so that only the undecodable bytes become "?".
std::u32string decode_code_page(UINT code_page, std::string_view bytes) {
    std::u32string out;
    if (bytes.empty()) {
        return out;
    }
    std::wstring wide(bytes.size() + 1, L'\0');
    int n = MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, bytes.data(),
                                static_cast<int>(bytes.size()), wide.data(),
                                static_cast<int>(wide.size()));
    if (n > 0) {
        return decode_utf16(std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()),
                                                static_cast<std::size_t>(n)));
    }
    for (std::size_t i = 0; i < bytes.size();) {
        const bool lead =
            i + 1 < bytes.size() && IsDBCSLeadByteEx(code_page, static_cast<BYTE>(bytes[i]));
        const int length = lead ? 2 : 1;
        wchar_t one[4] = {};
        n = MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, bytes.data() + i, length, one, 4);
        if (n > 0) {
            std::u32string chars = decode_utf16(std::u16string_view(
                reinterpret_cast<const char16_t*>(one), static_cast<std::size_t>(n)));
            out += chars;
            i += static_cast<std::size_t>(length);
        } else {
            out.push_back(kBad);
            ++i;
        }
    }
    return out;
}

std::u32string decode_utf16_bytes(std::string_view bytes, bool big_endian) {
    std::u16string units;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto a = static_cast<unsigned char>(bytes[i]);
        const auto b = static_cast<unsigned char>(bytes[i + 1]);
        units.push_back(static_cast<char16_t>(big_endian ? a << 8 | b : b << 8 | a));
    }
    std::u32string out = decode_utf16(units);
    if (bytes.size() % 2 != 0) {
        out.push_back(kBad);
    }
    return out;
}

// Charset names as the web and mail name them (compared without case, "-", "_" or spaces),
// with the system code page of each; 0 for the ones decoded here.
struct NamedCharset {
    std::string_view name;
    UINT code_page;
};
constexpr UINT kGb = 0;
constexpr UINT kUtf8 = 1;
constexpr UINT kUtf16 = 2;
constexpr UINT kUtf16Le = 3;
constexpr UINT kUtf16Be = 4;
constexpr NamedCharset kCharsets[] = {
    {"utf8", kUtf8},       {"gb18030", kGb},      {"gbk", kGb},          {"gb2312", kGb},
    {"cp936", kGb},        {"euccn", kGb},        {"windows936", kGb},   {"utf16", kUtf16},
    {"utf16le", kUtf16Le}, {"utf16be", kUtf16Be}, {"big5", 950},         {"cp950", 950},
    {"shiftjis", 932},     {"sjis", 932},         {"cp932", 932},        {"windows31j", 932},
    {"eucjp", 20932},      {"euckr", 949},        {"cp949", 949},        {"uhc", 949},
    {"koi8r", 20866},      {"koi8u", 21866},      {"usascii", 20127},    {"ascii", 20127},
    {"latin1", 28591},     {"iso88591", 28591},   {"iso88592", 28592},   {"iso88593", 28593},
    {"iso88594", 28594},   {"iso88595", 28595},   {"iso88596", 28596},   {"iso88597", 28597},
    {"iso88598", 28598},   {"iso88599", 28599},   {"iso885913", 28603},  {"iso885915", 28605},
    {"windows1250", 1250}, {"windows1251", 1251}, {"windows1252", 1252}, {"windows1253", 1253},
    {"windows1254", 1254}, {"windows1255", 1255}, {"windows1256", 1256}, {"windows1257", 1257},
    {"windows1258", 1258}, {"cp1250", 1250},      {"cp1251", 1251},      {"cp1252", 1252},
};

}  // namespace

std::string gbk_to_utf8(TextView text) {
    std::string_view gb = text.bytes();
    return is_ascii(gb) ? std::string(gb) : encode_utf8(decode_gb(gb));
}

Text utf8_to_gbk(std::string_view utf8) {
    return is_ascii(utf8) ? Text(utf8) : Text(encode_gb(decode_utf8(utf8)));
}

std::u16string gbk_to_utf16(TextView text) {
    std::string_view gb = text.bytes();
    return is_ascii(gb) ? widen_or_narrow<std::u16string>(gb) : encode_utf16(decode_gb(gb));
}

Text utf16_to_gbk(std::u16string_view utf16) {
    return is_ascii(utf16) ? Text(widen_or_narrow<std::string>(utf16))
                           : Text(encode_gb(decode_utf16(utf16)));
}

std::u16string utf8_to_utf16(std::string_view utf8) {
    return is_ascii(utf8) ? widen_or_narrow<std::u16string>(utf8) : encode_utf16(decode_utf8(utf8));
}

std::string utf16_to_utf8(std::u16string_view utf16) {
    return is_ascii(utf16) ? widen_or_narrow<std::string>(utf16) : encode_utf8(decode_utf16(utf16));
}

bool is_valid_utf8(std::string_view bytes) {
    const std::u32string chars = decode_utf8(bytes);
    return std::find(chars.begin(), chars.end(), kBad) == chars.end();
}

// The file system's names are UTF-16; the program holds them in UTF-8, which every name has.
Text file_name_to_gbk(std::string_view name) {
    return utf8_to_gbk(name);
}

std::string gbk_to_file_name(TextView text) {
    return gbk_to_utf8(text);
}

std::optional<Text> charset_to_gbk(std::string_view charset, std::string_view bytes) {
    std::string name;
    for (char c : charset) {
        if (c != '-' && c != '_' && c != ' ') {
            name += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
    }
    auto known = std::find_if(std::begin(kCharsets), std::end(kCharsets),
                              [&name](const NamedCharset& c) { return c.name == name; });
    if (known == std::end(kCharsets)) {
        return std::nullopt;
    }
    switch (known->code_page) {
        case kGb:
            return Text(encode_gb(decode_gb(bytes)));
        case kUtf8:
            return utf8_to_gbk(bytes);
        case kUtf16:
            // A byte-order mark says which; without one the bytes are big-endian.
            if (bytes.starts_with("\xFF\xFE")) {
                return Text(encode_gb(decode_utf16_bytes(bytes.substr(2), false)));
            }
            if (bytes.starts_with("\xFE\xFF")) {
                bytes.remove_prefix(2);
            }
            return Text(encode_gb(decode_utf16_bytes(bytes, true)));
        case kUtf16Le:
        case kUtf16Be:
            return Text(encode_gb(decode_utf16_bytes(bytes, known->code_page == kUtf16Be)));
        default:
            // A code page the system does not have is a charset it does not know.
            if (!IsValidCodePage(known->code_page)) {
                return std::nullopt;
            }
            return Text(encode_gb(decode_code_page(known->code_page, bytes)));
    }
}

}  // namespace wavlon::platform
