#include "runtime/file_commands.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QList>
#include <QString>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <numeric>
#include <random>
#include <string>

#include "platform/codec.h"
#include "runtime/program.h"

namespace wavlon::runtime {
namespace {

constexpr std::uint32_t kSearchableBits = 0x37;
constexpr std::uint32_t kSettableBits = 0x27;
constexpr mode_t kWriteBits = S_IWUSR | S_IWGRP | S_IWOTH;

bool is_ascii(std::string_view s) {
    return std::all_of(s.begin(), s.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// A name case-folded for matching and ordering, for every script and not only for ASCII
// letters (simple case folding), in two forms: its characters, and UTF-8 for ordering, whose
// byte order is the characters' order. An ASCII name folds by its letters alone and keeps no
// characters: its bytes are its characters.
struct Folded {
    std::string utf8;
    std::u32string chars;  // empty for an ASCII name
    bool ascii = false;
};

Folded folded(std::string_view utf8) {
    Folded out;
    if (is_ascii(utf8)) {
        out.utf8.assign(utf8);
        for (char& c : out.utf8) {
            c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        }
        out.ascii = true;
        return out;
    }
    QString text =
        QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())).toCaseFolded();
    QByteArray bytes = text.toUtf8();
    out.utf8.assign(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    QList<uint> ucs4 = text.toUcs4();
    out.chars.assign(ucs4.begin(), ucs4.end());
    return out;
}

template <class Char>
bool wildcard_match(std::basic_string_view<Char> pattern, std::basic_string_view<Char> name) {
    constexpr auto npos = std::basic_string_view<Char>::npos;
    std::size_t p = 0;
    std::size_t n = 0;
    std::size_t star = npos;
    std::size_t resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == Char('?') || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == Char('*')) {
            star = p++;
            resume = n;
        } else if (star != npos) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == Char('*')) {
        ++p;
    }
    return p == pattern.size();
}

bool wildcard_match(const Folded& pattern, const Folded& name) {
    if (pattern.ascii && name.ascii) {
        return wildcard_match<char>(pattern.utf8, name.utf8);
    }
    auto chars = [](const Folded& f) {
        return f.ascii ? std::u32string(f.utf8.begin(), f.utf8.end()) : f.chars;
    };
    return wildcard_match<char32_t>(chars(pattern), chars(name));
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
    std::string key;
    Text name;
    std::string file_name;  // as the folder holds it
    std::uint32_t attributes;
    bool mode_known;  // the read-only bit is known
};

// An entry's attributes from its directory entry alone where that tells its kind; a symbolic
// link (which counts as what it points to) or an entry of unknown kind is looked up.
// std::nullopt when it has vanished since it was listed. Without `mode_needed` a regular file
// or directory is not looked up: its read-only bit is then left out.
std::optional<std::uint32_t> attributes_of(DIR* dir, const dirent& entry, bool mode_needed) {
    if (!mode_needed && entry.d_type == DT_REG) {
        return kAttributeArchive;
    }
    if (!mode_needed && entry.d_type == DT_DIR) {
        return kAttributeDirectory;
    }
    struct stat st {};
    if (::fstatat(::dirfd(dir), entry.d_name, &st, 0) != 0 &&
        ::fstatat(::dirfd(dir), entry.d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return std::nullopt;
    }
    return attributes_of(st);
}

// The entries of the pattern's folder whose names match its file part, sorted. With
// `modes_needed` false the read-only bit is only known for links and entries of unknown kind.
std::string folder_of(const Text& pattern) {
    std::size_t slash = pattern.rfind('/');  // "/" is never part of a multibyte character
    return slash == Text::npos ? "."
           : slash == 0        ? "/"
                               : gbk_to_file_name(pattern.substr(0, slash));
}

std::vector<Listed> list_matches(const Text& pattern, bool modes_needed) {
    std::size_t slash = pattern.rfind('/');
    std::string folder = folder_of(pattern);
    std::string file_part = gbk_to_utf8(slash == Text::npos ? pattern : pattern.substr(slash + 1));
    std::vector<Listed> out;
    if (file_part.empty()) {
        return out;
    }
    bool match_all = file_part == "*.*";
    Folded wanted = folded(file_part);

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
        Text text = file_name_to_gbk(name);
        Folded key = folded(platform::is_valid_utf8(name) ? name : gbk_to_utf8(text));
        if (!match_all && !wildcard_match(wanted, key)) {
            continue;
        }
        const bool mode_known =
            modes_needed || (entry->d_type != DT_REG && entry->d_type != DT_DIR);
        std::optional<std::uint32_t> attributes = attributes_of(dir, *entry, modes_needed);
        if (!attributes) {
            continue;  // vanished since it was listed
        }
        out.push_back(
            {std::move(key.utf8), std::move(text), std::string(name), *attributes, mode_known});
    }
    ::closedir(dir);
    // Sorting the entries' numbers and moving each entry once is cheaper than swapping the
    // entries (three strings each) through the sort.
    std::vector<std::uint32_t> order(out.size());
    std::iota(order.begin(), order.end(), 0U);
    std::sort(order.begin(), order.end(), [&out](std::uint32_t a, std::uint32_t b) {
        const int by_key = out[a].key.compare(out[b].key);
        return by_key != 0 ? by_key < 0 : out[a].name < out[b].name;
    });
    std::vector<Listed> sorted;
    sorted.reserve(out.size());
    for (std::uint32_t i : order) {
        sorted.push_back(std::move(out[i]));
    }
    return sorted;
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

// Temporary files of write_file_parts are named "." + target name + "." + up to six digits +
// ".tmp" and stay locked (flock) by their writer until renamed or removed; the lock goes with
// the writer's process, so an unlocked one was left by a writer that was killed.
std::string temporary_name(const std::string& base, unsigned number) {
    return "." + base + "." + std::to_string(number % 1000000) + ".tmp";
}

bool is_temporary_of(std::string_view entry, std::string_view base) {
    if (!entry.starts_with('.') || !entry.ends_with(".tmp") || entry.size() < base.size() + 7) {
        return false;
    }
    entry.remove_prefix(1);
    entry.remove_suffix(4);
    if (!entry.starts_with(base) || entry[base.size()] != '.') {
        return false;
    }
    std::string_view digits = entry.substr(base.size() + 1);
    return !digits.empty() && digits.size() <= 6 &&
           std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
}

void split_path(const std::string& path, std::string& folder, std::string& base) {
    std::size_t slash = path.rfind('/');
    folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    base = slash == std::string::npos ? path : path.substr(slash + 1);
}

// True when `fd` is still the file named `path`: nobody removed or replaced it meanwhile.
bool still_named(int fd, const std::string& path) {
    struct stat by_fd {
    }, by_name{};
    return ::fstat(fd, &by_fd) == 0 && ::lstat(path.c_str(), &by_name) == 0 &&
           by_fd.st_dev == by_name.st_dev && by_fd.st_ino == by_name.st_ino;
}

// Opens a new file beside `path`, named after it, with permissions from the umask, and locks
// it for as long as it is open.
int create_temporary(const std::string& path, std::string& temp_path) {
    std::string folder, base;
    split_path(path, folder, base);
    std::random_device random;
    for (int attempt = 0; attempt < 16; ++attempt) {
        temp_path = folder + temporary_name(base, random());
        int fd = ::open(temp_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) {
            return fd;
        }
        if (fd < 0) {
            continue;
        }
        // Between the open and the lock a cleaner may have taken the file for abandoned.
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && still_named(fd, temp_path)) {
            return fd;
        }
        ::close(fd);
    }
    return -1;
}

void remove_abandoned_temporaries_of(const std::string& path) {
    std::string folder, base;
    split_path(path, folder, base);
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) {
        return;
    }
    while (const dirent* entry = ::readdir(dir)) {
        if (!is_temporary_of(entry->d_name, base)) {
            continue;
        }
        const std::string candidate = folder + entry->d_name;
        int fd = ::open(candidate.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        struct stat st {};
        // A writer that is alive holds the lock; a link or folder of that name is not ours.
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            still_named(fd, candidate)) {
            ::unlink(candidate.c_str());
        }
        ::close(fd);
    }
    ::closedir(dir);
}

}  // namespace

Text run_directory() {
    return run_directory_path();
}

Text FileSearch::find(const Text& pattern, std::optional<std::int32_t> mask) {
    if (!pattern.empty()) {
        close();
        m_folder = folder_of(pattern);
        for (Listed& listed : list_matches(pattern, false)) {
            m_entries.push_back({std::move(listed.name), std::move(listed.file_name),
                                 listed.attributes, listed.mode_known});
        }
        m_open = true;
    }
    if (!m_open) {
        return {};
    }
    // Only a mask that asks for the read-only bit needs an entry's permissions.
    const bool mode_needed =
        mask && (static_cast<std::uint32_t>(*mask) & kSearchableBits & kAttributeReadOnly) != 0;
    while (m_next < m_entries.size()) {
        Entry& entry = m_entries[m_next++];
        if (mode_needed && !entry.mode_known) {
            struct stat st {};
            if (::stat((m_folder + "/" + entry.file_name).c_str(), &st) != 0) {
                continue;  // vanished since the folder was read
            }
            entry.attributes = attributes_of(st);
            entry.mode_known = true;
        }
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
        return !list_matches(name, false).empty();
    }
    struct stat st {};
    return ::stat(gbk_to_file_name(name).c_str(), &st) == 0;
}

std::optional<std::uint32_t> file_attributes(const Text& name) {
    struct stat st {};
    if (name.empty() || ::stat(gbk_to_file_name(name).c_str(), &st) != 0) {
        return std::nullopt;
    }
    return attributes_of(st);
}

bool can_write_file(const Text& name) {
    if (name.empty()) {
        return false;
    }
    std::string path = gbk_to_file_name(name);
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
    std::string path = gbk_to_file_name(name);
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

    remove_abandoned_temporaries_of(path);
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

void remove_abandoned_writes(const Text& name) {
    if (!name.empty()) {
        remove_abandoned_temporaries_of(gbk_to_file_name(name));
    }
}

bool set_file_attributes(const Text& name, std::int32_t attributes) {
    struct stat st {};
    if (name.empty() || ::stat(gbk_to_file_name(name).c_str(), &st) != 0) {
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
    return wanted == mode || ::chmod(gbk_to_file_name(name).c_str(), wanted) == 0;
}

}  // namespace wavlon::runtime
