// Makes the sample library that `make run` serves when the user has no music yet: a handful
// of short tunes encoded with lame and tagged (ID3v2.4, UTF-8) with Chinese and Latin titles
// and artists, so that a newcomer can search and play at once.
//
// Usage: sample_library <folder>. The tunes are generated here (sine notes with a soft
// attack and decay); nothing is downloaded. Exits non-zero, naming the step, on failure.
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tstring.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Sample {
    const char* file;
    const char* title;
    const char* artist;
    std::vector<int> notes;  // semitones above A3, one per beat; -1 rests
};

const std::vector<Sample> kSamples = {
    {"qingtian.mp3", "晴天", "周杰伦", {3, 7, 10, 12, 10, 7, 5, 3, 5, 7, 3, -1}},
    {"qilixiang.mp3", "七里香", "周杰伦", {0, 4, 7, 9, 7, 4, 2, 0, 2, 4, 0, -1}},
    {"hongdou.mp3", "红豆", "王菲", {7, 5, 3, 2, 3, 5, 7, 10, 7, 5, 3, -1}},
    {"yueliang.mp3", "月亮代表我的心", "邓丽君", {0, 4, 7, 12, 11, 9, 7, 9, 7, 4, 0, -1}},
    {"houlai.mp3", "後來", "劉若英", {5, 9, 12, 14, 12, 9, 7, 5, 7, 9, 5, -1}},
    {"morning.mp3", "Morning Light", "Wavlon Sample Band", {0, 2, 4, 5, 7, 9, 11, 12, 7, 4, 0, -1}},
    {"evening.mp3", "Evening Walk", "The Test Tones", {12, 11, 9, 7, 5, 4, 2, 0, 2, 4, 0, -1}},
};

constexpr int kRate = 44100;
constexpr double kBeatSeconds = 0.5;

void put_le(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::string tune_wav(const std::vector<int>& notes) {
    const int beat = static_cast<int>(kRate * kBeatSeconds);
    std::string pcm;
    for (int note : notes) {
        double frequency = note < 0 ? 0.0 : 220.0 * std::pow(2.0, note / 12.0);
        for (int i = 0; i < beat; ++i) {
            double t = static_cast<double>(i) / kRate;
            double envelope = std::min(1.0, t * 50.0) * std::exp(-3.0 * t);
            double sample = note < 0 ? 0.0
                                     : envelope * (0.6 * std::sin(2 * M_PI * frequency * t) +
                                                   0.2 * std::sin(4 * M_PI * frequency * t));
            auto value = static_cast<std::int16_t>(sample * 12000);
            put_le(pcm, static_cast<std::uint16_t>(value), 2);
        }
    }
    std::string wav = "RIFF";
    put_le(wav, static_cast<std::uint32_t>(36 + pcm.size()), 4);
    wav += "WAVEfmt ";
    put_le(wav, 16, 4);
    put_le(wav, 1, 2);  // PCM
    put_le(wav, 1, 2);  // mono
    put_le(wav, kRate, 4);
    put_le(wav, kRate * 2, 4);
    put_le(wav, 2, 2);
    put_le(wav, 16, 2);
    wav += "data";
    put_le(wav, static_cast<std::uint32_t>(pcm.size()), 4);
    return wav + pcm;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: sample_library <folder>\n");
        return 2;
    }
    fs::path folder = argv[1];
    fs::create_directories(folder);
    for (const Sample& sample : kSamples) {
        fs::path wav = folder / (std::string(sample.file) + ".wav");
        fs::path mp3 = folder / sample.file;
        {
            std::ofstream out(wav, std::ios::binary | std::ios::trunc);
            out << tune_wav(sample.notes);
            if (!out) {
                std::fprintf(stderr, "sample_library: cannot write %s\n", wav.c_str());
                return 1;
            }
        }
        std::string command = "lame --quiet -b 96 '" + wav.string() + "' '" + mp3.string() + "'";
        if (std::system(command.c_str()) != 0) {
            std::fprintf(stderr, "sample_library: lame failed: %s\n", command.c_str());
            return 1;
        }
        fs::remove(wav);
        TagLib::MPEG::File file(mp3.c_str());
        TagLib::ID3v2::Tag* tag = file.ID3v2Tag(true);
        tag->setTitle(TagLib::String(sample.title, TagLib::String::UTF8));
        tag->setArtist(TagLib::String(sample.artist, TagLib::String::UTF8));
        tag->setAlbum(TagLib::String("Wavlon 示例", TagLib::String::UTF8));
        if (!file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers, TagLib::ID3v2::v4)) {
            std::fprintf(stderr, "sample_library: cannot tag %s\n", mp3.c_str());
            return 1;
        }
    }
    return 0;
}
