#include "support/mp3_fixtures.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace wavlon::testing {
namespace {

namespace fs = std::filesystem;

enum class Sound {
    Sine,            // a 440 Hz tone
    Silence,         //
    LoudThenSilent,  // half a second of loud noise, then silence
};

struct Recipe {
    const char* name;
    int seconds;
    int rate;
    int channels;
    Sound sound;
    const char* lame_options;
};

Recipe recipe(Mp3Kind kind) {
    switch (kind) {
        case Mp3Kind::CbrNoTag:
            return {"cbr", 10, 44100, 2, Sound::Sine, "-t -b 128"};
        case Mp3Kind::Vbr:
            return {"vbr", 10, 44100, 2, Sound::Sine, "-V 2"};
        case Mp3Kind::Mono:
            return {"mono", 6, 44100, 1, Sound::Sine, "-V 4"};
        case Mp3Kind::Short:
            return {"short", 3, 44100, 2, Sound::Sine, "-b 128"};
        case Mp3Kind::Long:
            return {"long", 20 * 60, 22050, 1, Sound::Silence, "-t -b 32"};
        case Mp3Kind::FallingVbrNoTag:
            return {"falling", 6, 44100, 2, Sound::LoudThenSilent, "-t -V 0"};
    }
    throw std::logic_error("unknown MP3 kind");
}

// The per-process fixture folder, removed when the process ends.
class FixtureFolder {
public:
    FixtureFolder() {
#ifdef _WIN32
        std::random_device random;
        for (int attempt = 0; m_path.empty() && attempt < 100; ++attempt) {
            fs::path path = fs::temp_directory_path() / ("wavlon-mp3-" + std::to_string(random()));
            if (fs::create_directory(path)) {
                m_path = path.string();
            }
        }
        if (m_path.empty()) {
            throw std::runtime_error("cannot make a temporary folder for MP3 fixtures");
        }
#else
        std::string pattern = (fs::temp_directory_path() / "wavlon-mp3-XXXXXX").string();
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        if (mkdtemp(buffer.data()) == nullptr) {
            throw std::runtime_error("cannot make a temporary folder for MP3 fixtures");
        }
        m_path = buffer.data();
#endif
    }
    ~FixtureFolder() {
        std::error_code ignored;
        fs::remove_all(m_path, ignored);
    }
    const std::string& path() const {
        return m_path;
    }

private:
    std::string m_path;
};

const std::string& folder() {
    static FixtureFolder instance;
    return instance.path();
}

void write_file(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
}

#ifdef _WIN32
// A Windows program cannot run the encoder: make_mp3_fixtures.py encodes the same recipes
// before the suite runs, into the folder WAVLON_MP3_DIR names.
std::string encode(Mp3Kind kind) {
    const char* made = std::getenv("WAVLON_MP3_DIR");
    std::string path = std::string(made != nullptr ? made : "") + "/" + recipe(kind).name + ".mp3";
    if (made == nullptr || !fs::exists(path)) {
        throw std::runtime_error("no MP3 fixture " + path + " (WAVLON_MP3_DIR)");
    }
    return path;
}
#else
void put_le(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

// A WAV file (16-bit PCM) of the recipe's sound, alike in all channels.
std::string wav(const Recipe& r) {
    auto frames = static_cast<std::uint32_t>(r.seconds) * static_cast<std::uint32_t>(r.rate);
    auto block = static_cast<std::uint32_t>(r.channels) * 2;
    std::string out = "RIFF";
    put_le(out, 36 + frames * block, 4);
    out += "WAVEfmt ";
    put_le(out, 16, 4);
    put_le(out, 1, 2);  // PCM
    put_le(out, static_cast<std::uint32_t>(r.channels), 2);
    put_le(out, static_cast<std::uint32_t>(r.rate), 4);
    put_le(out, static_cast<std::uint32_t>(r.rate) * block, 4);
    put_le(out, block, 2);
    put_le(out, 16, 2);
    out += "data";
    put_le(out, frames * block, 4);
    if (r.sound == Sound::Silence) {
        out.append(static_cast<std::size_t>(frames) * block, '\0');
        return out;
    }
    out.reserve(out.size() + static_cast<std::size_t>(frames) * block);
    std::mt19937 noise(20240607);
    for (std::uint32_t i = 0; i < frames; ++i) {
        std::int16_t sample = 0;
        if (r.sound == Sound::Sine) {
            double t = static_cast<double>(i) / r.rate;
            sample = static_cast<std::int16_t>(8000 * std::sin(2 * M_PI * 440 * t));
        } else if (i < static_cast<std::uint32_t>(r.rate) / 2) {
            sample = static_cast<std::int16_t>(static_cast<int>(noise() % 40001) - 20000);
        }
        for (int c = 0; c < r.channels; ++c) {
            put_le(out, static_cast<std::uint16_t>(sample), 2);
        }
    }
    return out;
}

std::string encode(Mp3Kind kind) {
    Recipe r = recipe(kind);
    std::string source = folder() + "/" + r.name + ".wav";
    std::string mp3 = folder() + "/" + r.name + ".mp3";
    write_file(source, wav(r));
    std::ostringstream command;
    command << "lame --quiet " << r.lame_options << " '" << source << "' '" << mp3 << "' 2>&1";
    int status = std::system(command.str().c_str());
    fs::remove(source);
    if (status != 0 || !fs::exists(mp3)) {
        throw std::runtime_error("MP3 encoding failed: " + command.str());
    }
    return mp3;
}
#endif

}  // namespace

const std::string& mp3_file(Mp3Kind kind) {
    static std::map<Mp3Kind, std::string> made;
    auto found = made.find(kind);
    if (found == made.end()) {
        found = made.emplace(kind, encode(kind)).first;
    }
    return found->second;
}

std::int64_t mp3_sound_length_ms(Mp3Kind kind) {
    return recipe(kind).seconds * 1000LL;
}

const char* mp3_kind_name(Mp3Kind kind) {
    return recipe(kind).name;
}

std::string mp3_copy_named(Mp3Kind kind, const std::string& name) {
    std::string path = folder() + "/" + name;
    // A name is UTF-8; on Windows a narrow path would be read in the system code page.
    fs::path target(std::u8string(reinterpret_cast<const char8_t*>(path.data()), path.size()));
    if (!fs::exists(target)) {
        fs::copy_file(mp3_file(kind), target);
    }
    return path;
}

std::string random_bytes_file(const std::string& name, std::size_t size) {
    std::mt19937 random(20240607);
    std::string bytes(size, '\0');
    for (char& c : bytes) {
        c = static_cast<char>(random() & 0xFF);
    }
    std::string path = folder() + "/" + name;
    write_file(path, bytes);
    return path;
}

std::string read_file_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

HttpReply mp3_reply(const HttpRequest& request, const std::string& body, bool content_length) {
    if (!content_length) {
        return HttpReply::ok(body, "audio/mpeg", false);
    }
    std::string range = request.header("Range");
    std::size_t first = 0;
    std::size_t last = body.empty() ? 0 : body.size() - 1;
    bool partial = false;
    if (range.rfind("bytes=", 0) == 0) {
        std::size_t dash = range.find('-');
        try {
            first = std::stoul(range.substr(6, dash - 6));
            if (dash + 1 < range.size()) {
                last = std::min(last, static_cast<std::size_t>(std::stoul(range.substr(dash + 1))));
            }
        } catch (const std::exception&) {
            return HttpReply::status(400, "Bad Request");
        }
        if (first >= body.size() || first > last) {
            return HttpReply::status(416, "Range Not Satisfiable",
                                     "Content-Range: bytes */" + std::to_string(body.size()));
        }
        partial = true;
    }
    std::string part = body.substr(first, last - first + 1);
    HttpReply reply;
    reply.raw = partial ? "HTTP/1.1 206 Partial Content\r\n" : "HTTP/1.1 200 OK\r\n";
    reply.raw += "Content-Type: audio/mpeg\r\nAccept-Ranges: bytes\r\n";
    if (partial) {
        reply.raw += "Content-Range: bytes " + std::to_string(first) + "-" + std::to_string(last) +
                     "/" + std::to_string(body.size()) + "\r\n";
    }
    reply.raw += "Content-Length: " + std::to_string(part.size()) + "\r\n\r\n" + part;
    return reply;
}


}  // namespace wavlon::testing
