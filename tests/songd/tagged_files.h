// Music files for the song-service tests: real MP3s (from the MP3 fixtures) with ID3 tags
// written here byte by byte, so that each test states exactly which frames and encodings a
// file carries (UTF-8, UTF-16, raw GBK in frames claiming Latin-1, ID3v1 only, none).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace wavlon::testing {

enum class FrameText {
    Utf8,    // ID3v2.4, encoding 3
    Utf16,   // ID3v2.3, encoding 1 with a byte-order mark
    Latin1,  // ID3v2.3, encoding 0, the bytes as given (raw GBK from old Windows tools)
};

// An ID3v2 tag with a TIT2 (title) and a TPE1 (artist) frame; empty texts leave a frame out.
// For Utf8 and Utf16 the texts are UTF-8; for Latin1 they are written as they stand.
std::string id3v2_tag(FrameText kind, const std::string& title, const std::string& artist);
// A 128-byte ID3v1 tag with the bytes of title and artist (cut to 30 bytes each).
std::string id3v1_tag(const std::string& title, const std::string& artist);

// Writes `before` + the bytes of a real MP3 (3 s, or 10 s when `long_sound`) + `after` to
// `path`, making its folders.
void write_tagged_mp3(const std::filesystem::path& path, const std::string& before,
                      const std::string& after = {}, bool long_sound = false);

// A fresh temporary folder, removed with everything below it when the object goes.
class TemporaryFolder {
public:
    TemporaryFolder();
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;
    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

// GBK bytes of a few names used in the tests.
inline const std::string kGbkZhouJielun = "\xD6\xDC\xBD\xDC\xC2\xD7";  // 周杰伦
inline const std::string kGbkQingtian = "\xC7\xE7\xCC\xEC";            // 晴天

}  // namespace wavlon::testing
