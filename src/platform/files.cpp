#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QList>
#include <QString>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <random>

#include "platform/write_temporaries.h"

namespace wavlon::platform {
namespace {

constexpr std::string_view kSeparators = "/";

constexpr std::uint32_t kReadOnly = 0x01;
constexpr std::uint32_t kDirectory = 0x10;
constexpr std::uint32_t kArchive = 0x20;
constexpr mode_t kWriteBits = S_IWUSR | S_IWGRP | S_IWOTH;

std::uint32_t attributes_of(const struct stat& st) {
    std::uint32_t attributes = S_ISDIR(st.st_mode) ? kDirectory : kArchive;
    if ((st.st_mode & kWriteBits) == 0) {
        attributes |= kReadOnly;
    }
    return attributes;
}

// An entry's attributes from its directory entry alone where that tells its kind; a symbolic
// link (which counts as what it points to) or an entry of unknown kind is looked up.
// std::nullopt when it has vanished since it was listed. Without `mode_needed` a regular file
// or directory is not looked up: its read-only bit is then left out.
std::optional<std::uint32_t> attributes_of(DIR* dir, const dirent& entry, bool mode_needed) {
    if (!mode_needed && entry.d_type == DT_REG) {
        return kArchive;
    }
    if (!mode_needed && entry.d_type == DT_DIR) {
        return kDirectory;
    }
    struct stat st {};
    if (::fstatat(::dirfd(dir), entry.d_name, &st, 0) != 0 &&
        ::fstatat(::dirfd(dir), entry.d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return std::nullopt;
    }
    return attributes_of(st);
}

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

// Temporary files stay locked (flock) by their writer until renamed or removed; the lock goes
// with the writer's process, so an unlocked one was left by a writer that was killed.

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
    split_path(path, folder, base, kSeparators);
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

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string home_folder() {
    std::string home = environment("HOME");
    if (!home.empty()) {
        return home;
    }
    const passwd* entry = ::getpwuid(::geteuid());
    return entry && entry->pw_dir ? std::string(entry->pw_dir) : std::string();
}

// "/" alone becomes the empty text, so that appending "/name" gives "/name".
std::string without_trailing_slashes(std::string path) {
    while (path.ends_with('/')) {
        path.pop_back();
    }
    return path;
}

}  // namespace

std::vector<FolderEntry> list_folder(const std::string& folder, bool read_only_needed) {
    std::vector<FolderEntry> out;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        return out;
    }
    while (const dirent* entry = ::readdir(dir)) {
        std::string_view name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        std::optional<std::uint32_t> attributes = attributes_of(dir, *entry, read_only_needed);
        if (!attributes) {
            continue;  // vanished since it was listed
        }
        const bool known = read_only_needed || (entry->d_type != DT_REG && entry->d_type != DT_DIR);
        out.push_back({std::string(name), *attributes, known});
    }
    ::closedir(dir);
    return out;
}

std::optional<std::uint32_t> entry_attributes(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return std::nullopt;
    }
    return attributes_of(st);
}

bool set_entry_attributes(const std::string& path, std::uint32_t attributes) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        return true;
    }
    bool read_only = (attributes & kReadOnly) != 0;
    mode_t mode = st.st_mode & 07777;
    mode_t wanted = read_only                  ? mode & ~kWriteBits
                    : (mode & kWriteBits) != 0 ? mode
                                               : mode | S_IWUSR;
    return wanted == mode || ::chmod(path.c_str(), wanted) == 0;
}

ReadResult read_whole_file(const std::string& path, std::string& content) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return errno == ENOENT || errno == ENOTDIR ? ReadResult::Missing : ReadResult::Failed;
    }
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            ::close(fd);
            return ReadResult::Failed;
        }
        if (n == 0) {
            break;
        }
        content.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return ReadResult::Ok;
}

bool can_replace_file(const std::string& name) {
    std::string path = name;
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

bool replace_file(const std::string& name, std::span<const std::string_view> parts) {
    std::string path = name;
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

    remove_abandoned_temporaries(path);
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

void remove_abandoned_temporaries(const std::string& path) {
    std::string folder, base;
    split_path(path, folder, base, kSeparators);
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

void fold_case(std::string_view utf8, std::string& folded, std::u32string& chars) {
    QString text =
        QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())).toCaseFolded();
    QByteArray bytes = text.toUtf8();
    folded.assign(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    QList<uint> ucs4 = text.toUcs4();
    chars.assign(ucs4.begin(), ucs4.end());
}

std::string resolved_path(const std::string& path) {
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real) {
        return path;
    }
    std::string out = real;
    std::free(real);
    return out;
}

bool make_folders(const std::string& path) {
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
        if (slash == std::string::npos) {
            break;
        }
    }
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string user_settings_folder() {
    std::string base = environment("XDG_CONFIG_HOME");
    if (!base.starts_with('/')) {
        std::string home = home_folder();
        if (!home.starts_with('/')) {
            return {};
        }
        base = without_trailing_slashes(home) + "/.config";
    }
    return without_trailing_slashes(base) + "/wavlon";
}

std::string program_folder() {
    std::error_code error;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        return std::filesystem::current_path(error).native();
    }
    return exe.parent_path().native();
}

bool change_directory(const std::string& path) {
    return ::chdir(path.c_str()) == 0;
}

}  // namespace wavlon::platform
