#include "songd/music_folders.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include "platform/codec.h"

namespace wavlon::songd {
namespace {

// "路径" in GBK.
const std::string kFolderKey = "\xC2\xB7\xBE\xB6";
// A config.ini is a few hundred bytes; anything far larger is not one.
constexpr std::size_t kMaxConfigBytes = 1 << 20;

std::string trimmed(std::string_view text) {
    auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && space(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && space(text.back())) {
        text.remove_suffix(1);
    }
    return std::string(text);
}

std::string ascii_lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c + 0x20);
        }
    }
    return text;
}

std::optional<FileStamp> stamp_of(const std::string& path) {
    struct ::stat info {};
    if (stat(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return FileStamp{
        static_cast<std::int64_t>(info.st_size),
        static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec};
}

bool is_folder(const std::string& path) {
    struct ::stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string parent_of(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

std::optional<std::string> ini_value(const std::string& text, const std::string& section,
                                     const std::string& key) {
    std::istringstream lines(text);
    std::string line;
    bool inside = false;
    std::string wanted_section = ascii_lower(section);
    std::string wanted_key = ascii_lower(key);
    while (std::getline(lines, line)) {
        std::string entry = trimmed(line);
        if (entry.empty() || entry[0] == ';') {
            continue;
        }
        if (entry.front() == '[') {
            std::size_t close = entry.find(']');
            inside = close != std::string::npos &&
                     ascii_lower(trimmed(entry.substr(1, close - 1))) == wanted_section;
            continue;
        }
        std::size_t equals = entry.find('=');
        if (inside && equals != std::string::npos &&
            ascii_lower(trimmed(entry.substr(0, equals))) == wanted_key) {
            return trimmed(entry.substr(equals + 1));
        }
    }
    return std::nullopt;
}

std::string player_config_folder(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::string text;
    text.resize(kMaxConfigBytes);
    file.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(file.gcount()));
    auto value = ini_value(text, "config", kFolderKey);
    if (!value || value->empty()) {
        return {};
    }
    return platform::gbk_to_file_name(platform::TextView(std::string_view(*value)));
}

std::string user_music_folder() {
    const char* home_variable = std::getenv("HOME");
    std::string home = home_variable != nullptr ? home_variable : "";
    const char* config_home = std::getenv("XDG_CONFIG_HOME");
    std::string dirs = (config_home != nullptr && config_home[0] == '/') ? std::string(config_home)
                                                                         : home + "/.config";
    std::ifstream file(dirs + "/user-dirs.dirs");
    std::string line;
    std::string folder;
    // Lines read XDG_MUSIC_DIR="$HOME/Music" or XDG_MUSIC_DIR="/absolute/path".
    while (std::getline(file, line)) {
        std::string entry = trimmed(line);
        if (entry.rfind("XDG_MUSIC_DIR=", 0) != 0) {
            continue;
        }
        std::string value = entry.substr(14);
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
            value = value.substr(1, value.size() - 2);
        }
        if (value.rfind("$HOME", 0) == 0) {
            value = home + value.substr(5);
        }
        if (!value.empty() && value[0] == '/') {
            folder = value;
        }
    }
    while (folder.size() > 1 && folder.back() == '/') {
        folder.pop_back();
    }
    if (folder.empty() || folder == home) {
        folder = home + "/Music";
    }
    return folder;
}

MusicFolders::MusicFolders(FolderSources sources) : m_sources(std::move(sources)) {}

std::vector<std::string> MusicFolders::wanted() {
    if (!m_sources.player_config.empty()) {
        auto stamp = stamp_of(m_sources.player_config);
        if (stamp != m_config_stamp) {
            m_config_stamp = stamp;
            m_config_folder = stamp ? player_config_folder(m_sources.player_config) : "";
        }
    }
    std::vector<std::string> folders = m_sources.folders;
    if (m_sources.user_music) {
        folders.push_back(user_music_folder());
    }
    if (!m_config_folder.empty()) {
        folders.push_back(m_config_folder);
    }
    m_wanted.clear();
    for (auto& folder : folders) {
        if (std::find(m_wanted.begin(), m_wanted.end(), folder) == m_wanted.end()) {
            m_wanted.push_back(std::move(folder));
        }
    }
    return m_wanted;
}

bool MusicFolders::any_missing() const {
    return std::any_of(m_wanted.begin(), m_wanted.end(),
                       [](const std::string& folder) { return !is_folder(folder); });
}

std::vector<std::string> MusicFolders::folders_to_watch() const {
    auto nearest_existing = [](std::string path) {
        do {
            path = parent_of(path);
        } while (path != "/" && path != "." && !is_folder(path));
        return path;
    };
    std::vector<std::string> watched;
    if (!m_sources.player_config.empty()) {
        watched.push_back(nearest_existing(m_sources.player_config));
    }
    for (const auto& folder : m_wanted) {
        if (!is_folder(folder)) {
            watched.push_back(nearest_existing(folder));
        }
    }
    return watched;
}

}  // namespace wavlon::songd
