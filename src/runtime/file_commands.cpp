#include "runtime/file_commands.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QList>
#include <QString>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <random>
#include <string>

#include "platform/codec.h"
#include "runtime/program.h"

namespace wavlon::runtime {
namespace {

constexpr std::uint32_t kSearchableBits = 0x37;
constexpr std::uint32_t kSettableBits = 0x27;
constexpr mode_t kWriteBits = S_IWUSR | S_IWGRP | S_IWOTH;

// Simple case folding, so that matching and ordering ignore case for every script, not only
// for ASCII letters.
std::u32string folded(std::string_view utf8) {
    QList<uint> ucs4 =
        QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())).toCaseFolded().toUcs4();
    return std::u32string(ucs4.begin(), ucs4.end());
}

bool wildcard_match(std::u32string_view pattern, std::u32string_view name) {
    std::size_t p = 0;
    std::size_t n = 0;
    std::size_t star = std::u32string_view::npos;
    std::size_t resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == U'?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == U'*') {
            star = p++;
            resume = n;
        } else if (star != std::u32string_view::npos) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == U'*') {
        ++p;
    }
    return p == pattern.size();
}

std::uint32_t attributes_of(const struct stat& st) {
    std::uint32_t attributes = S_ISDIR(st.st_mode) ? kAttributeDirectory : kAttributeArchive;
    if ((st.st_mode & kWriteBits) == 0) {
        attributes |= kAttributeReadOnly;
    }
    return attributes;
}

bool mask_matches(std::optional<std::int32_t> mask, std::uint32_t attributes) {
    if (!mask) {
        return (attributes & kAttributeDirectory) == 0;
    }
    std::uint32_t bits = static_cast<std::uint32_t>(*mask) & kSearchableBits;
    return bits == 0 ? (attributes & kSearchableBits) == 0 : (attributes & bits) != 0;
}

struct Listed {
    std::u32string key;
    Text name;
    std::uint32_t attributes;
};

// The entries of the pattern's folder whose names match its file part, sorted.
std::vector<Listed> list_matches(const Text& pattern) {
    std::size_t slash = pattern.rfind('/');  // "/" is never part of a multibyte character
    std::string folder = slash == Text::npos ? "."
                         : slash == 0        ? "/"
                                             : to_file_name(pattern.substr(0, slash));
    std::string file_part = to_utf8(slash == Text::npos ? pattern : pattern.substr(slash + 1));
    std::vector<Listed> out;
    if (file_part.empty()) {
        return out;
    }
    bool match_all = file_part == "*.*";
    std::u32string wanted = folded(file_part);

    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        return out;
    }
    while (const dirent* entry = ::readdir(dir)) {
        std::string_view name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        // A name that is not UTF-8 (GBK bytes from a Windows archive) is listed as the text
        // its bytes are, and matched and sorted as the characters that text reads as.
        Text text = from_file_name(name);
        std::u32string key = folded(platform::is_valid_utf8(name) ? name : to_utf8(text));
        if (!match_all && !wildcard_match(wanted, key)) {
            continue;
        }
        struct stat st {};
        if (::fstatat(::dirfd(dir), entry->d_name, &st, 0) != 0 &&
            ::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
            continue;  // vanished since it was listed
        }
        out.push_back({std::move(key), std::move(text), attributes_of(st)});
    }
    ::closedir(dir);
    std::sort(out.begin(), out.end(), [](const Listed& a, const Listed& b) {
        return a.key != b.key ? a.key < b.key : a.name < b.name;
    });
    return out;
}

thread_local FileSearch t_base_search;
thread_local FileSearch* t_current_search = nullptr;

bool write_all(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Opens a new file beside `path`, named after it, with permissions from the umask.
int create_temporary(const std::string& path, std::string& temp_path) {
    std::size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    std::random_device random;
    for (int attempt = 0; attempt < 16; ++attempt) {
        temp_path = folder + "." + base + "." + std::to_string(random() % 1000000) + ".tmp";
        int fd = ::open(temp_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

}  // namespace

Text run_directory() {
    return run_directory_path();
}

Text FileSearch::find(const Text& pattern, std::optional<std::int32_t> mask) {
    if (!pattern.empty()) {
        close();
        for (Listed& listed : list_matches(pattern)) {
            m_entries.push_back({std::move(listed.name), listed.attributes});
        }
        m_open = true;
    }
    if (!m_open) {
        return {};
    }
    while (m_next < m_entries.size()) {
        const Entry& entry = m_entries[m_next++];
        if (mask_matches(mask, entry.attributes)) {
            return entry.name;
        }
    }
    close();
    return {};
}

void FileSearch::close() {
    m_entries.clear();
    m_next = 0;
    m_open = false;
}

FileSearch& current_file_search() {
    return t_current_search != nullptr ? *t_current_search : t_base_search;
}

FileSearchScope::FileSearchScope() : m_previous(t_current_search) {
    t_current_search = &m_search;
}

FileSearchScope::~FileSearchScope() {
    t_current_search = m_previous;
}

Text find_file(const Text& pattern, std::optional<std::int32_t> mask) {
    return current_file_search().find(pattern, mask);
}

void close_find() {
    current_file_search().close();
}

bool file_exists(const Text& name) {
    if (name.empty()) {
        return false;
    }
    std::size_t slash = name.rfind('/');
    std::size_t file_part = slash == Text::npos ? 0 : slash + 1;
    if (name.find_first_of("*?", file_part) != Text::npos) {
        return !list_matches(name).empty();
    }
    struct stat st {};
    return ::stat(to_file_name(name).c_str(), &st) == 0;
}

std::optional<std::uint32_t> file_attributes(const Text& name) {
    struct stat st {};
    if (name.empty() || ::stat(to_file_name(name).c_str(), &st) != 0) {
        return std::nullopt;
    }
    return attributes_of(st);
}

bool can_write_file(const Text& name) {
    if (name.empty()) {
        return false;
    }
    std::string path = to_file_name(name);
    struct stat existing {};
    if (::stat(path.c_str(), &existing) == 0) {
        if (S_ISDIR(existing.st_mode) || (existing.st_mode & kWriteBits) == 0) {
            return false;
        }
        // The replacement is made beside the file a symbolic link points at.
        if (char* resolved = ::realpath(path.c_str(), nullptr)) {
            path = resolved;
            std::free(resolved);
        }
    }
    // The folder: "/" for a file in the root, the current one for a bare name.
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos
                                   ? std::string(".")
                                   : path.substr(0, std::max<std::size_t>(slash, 1));
    return ::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

bool write_file_parts(const Text& name, std::span<const std::string_view> parts) {
    if (name.empty()) {
        return false;
    }
    std::string path = to_file_name(name);
    struct stat existing {};
    bool exists = ::stat(path.c_str(), &existing) == 0;
    if (exists && (S_ISDIR(existing.st_mode) || (existing.st_mode & kWriteBits) == 0)) {
        return false;
    }
    // Replace the file a symbolic link points at, not the link.
    if (exists) {
        if (char* resolved = ::realpath(path.c_str(), nullptr)) {
            path = resolved;
            std::free(resolved);
        }
    }

    std::string temp_path;
    int fd = create_temporary(path, temp_path);
    if (fd < 0) {
        return false;
    }
    bool ok = true;
    for (std::string_view part : parts) {
        ok = ok && write_all(fd, part);
    }
    if (ok && exists) {
        ok = ::fchmod(fd, existing.st_mode & 07777) == 0;
        // Keeping the owner only works for a privileged process; not keeping it is no failure.
        [[maybe_unused]] int ignored = ::fchown(fd, existing.st_uid, existing.st_gid);
    }
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(temp_path.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(temp_path.c_str());
    }
    return ok;
}

bool set_file_attributes(const Text& name, std::int32_t attributes) {
    struct stat st {};
    if (name.empty() || ::stat(to_file_name(name).c_str(), &st) != 0) {
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        return true;
    }
    bool read_only =
        (static_cast<std::uint32_t>(attributes) & kSettableBits & kAttributeReadOnly) != 0;
    mode_t mode = st.st_mode & 07777;
    mode_t wanted = read_only                  ? mode & ~kWriteBits
                    : (mode & kWriteBits) != 0 ? mode
                                               : mode | S_IWUSR;
    return wanted == mode || ::chmod(to_file_name(name).c_str(), wanted) == 0;
}

}  // namespace wavlon::runtime
