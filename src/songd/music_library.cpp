#include "songd/music_library.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <thread>
#include <unordered_map>
#include <utility>

#include "songd/log.h"
#include "songd/track_tags.h"

namespace wavlon::songd {

// A file whose tags are to be read, and then what was read.
struct TagJob {
    std::string path;
    FileStamp stamp;
    bool was_known = false;
    std::optional<TrackTags> tags;
};

namespace {

// Tags are stored in transactions of this many files, so searches see a growing catalogue
// during a long first scan without paying for one transaction per file.
constexpr int kFilesPerTransaction = 200;

struct CloseDir {
    void operator()(DIR* dir) const { closedir(dir); }
};

std::optional<std::string> real_path(const std::string& path) {
    std::unique_ptr<char, decltype(&std::free)> resolved(realpath(path.c_str(), nullptr),
                                                         &std::free);
    if (!resolved) {
        return std::nullopt;
    }
    return std::string(resolved.get());
}

// True while `path` still is the folder `key` names.
bool same_folder(const std::string& path, std::pair<dev_t, ino_t> key) {
    struct ::stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_dev == key.first &&
           info.st_ino == key.second;
}

FileStamp stamp_of(const struct ::stat& info) {
    return {static_cast<std::int64_t>(info.st_size),
            static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 +
                static_cast<std::int64_t>(info.st_mtim.tv_nsec)};
}

// Reads tags on a thread of its own while the walk goes on. Walking the folders and storing
// what was read cost about as much as TagLib reading the files, so with a second core the two
// overlap and a scan takes little longer than the reading alone.
class TagReader {
public:
    TagReader() : m_thread([this] { run(); }) {}
    ~TagReader() {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }
    TagReader(const TagReader&) = delete;
    TagReader& operator=(const TagReader&) = delete;

    // Queues a file (waiting while many are queued); gives back the files read so far.
    std::vector<TagJob> submit(TagJob job) {
        std::unique_lock lock(m_mutex);
        m_space.wait(lock, [&] { return m_jobs.size() < kMaxQueued; });
        m_jobs.push_back(std::move(job));
        m_wake.notify_one();
        return std::exchange(m_done, {});
    }

    // Waits until every queued file is read; gives back the rest.
    std::vector<TagJob> finish() {
        std::unique_lock lock(m_mutex);
        m_space.wait(lock, [&] { return m_jobs.empty() && !m_busy; });
        return std::exchange(m_done, {});
    }

private:
    static constexpr std::size_t kMaxQueued = 64;

    void run() {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [&] { return m_stopping || !m_jobs.empty(); });
            if (m_stopping) {
                return;
            }
            TagJob job = std::move(m_jobs.front());
            m_jobs.pop_front();
            m_busy = true;
            lock.unlock();
            try {
                job.tags = read_track_tags(job.path);
            } catch (const std::exception&) {
                job.tags.reset();  // out of memory on a monstrous tag: skipped as damaged
            }
            lock.lock();
            m_done.push_back(std::move(job));
            m_busy = false;
            m_space.notify_all();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;   // a job queued, or stopping
    std::condition_variable m_space;  // a job done
    std::deque<TagJob> m_jobs;
    std::vector<TagJob> m_done;
    bool m_busy = false;
    bool m_stopping = false;
    std::thread m_thread;  // last: starts once the rest is ready
};

}  // namespace

struct MusicLibrary::Walk {
    std::unordered_map<std::string, FileStamp> expected;  // catalogued, not yet seen
    std::set<std::pair<dev_t, ino_t>> visited;            // folders walked
    ScanReport report;
    std::unique_ptr<Catalogue::Batch> batch;
    int pending = 0;
    std::unique_ptr<TagReader> reader;    // for walks of folders; files alone are read in place
    std::set<std::string> rejected_seen;  // files found to be no music, this walk
    // Folders reached through links, walked after the rest: a folder inside the music folders
    // is then known by its own path, which outlives any link to it.
    std::vector<std::string> linked;
};

MusicLibrary::MusicLibrary(Catalogue& catalogue, const std::vector<std::string>& folders)
    : m_catalogue(catalogue) {
    set_folders(folders);
}

bool MusicLibrary::set_folders(const std::vector<std::string>& folders) {
    std::vector<std::string> roots;
    std::set<std::string> missing;
    for (const auto& folder : folders) {
        auto resolved = real_path(folder);
        struct ::stat info {};
        if (!resolved || stat(resolved->c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
            if (!m_missing.count(folder)) {
                log_line("music folder " + printable(folder) +
                         " not found; served once it appears");
            }
            missing.insert(folder);
            continue;
        }
        if (*resolved == "/") {
            resolved->clear();  // the root: paths below start with "/"
        }
        if (std::find(roots.begin(), roots.end(), *resolved) == roots.end()) {
            roots.push_back(*resolved);
        }
    }
    m_missing = std::move(missing);
    std::lock_guard lock(m_roots_mutex);
    if (roots == m_roots) {
        return false;
    }
    m_roots = std::move(roots);
    return true;
}

std::vector<std::string> MusicLibrary::roots() const {
    std::lock_guard lock(m_roots_mutex);
    return m_roots;
}

bool MusicLibrary::under_roots(const std::string& path) const {
    std::lock_guard lock(m_roots_mutex);
    for (const auto& root : m_roots) {
        if (path.compare(0, root.size(), root) == 0 &&
            (path.size() == root.size() || path[root.size()] == '/')) {
            return true;
        }
    }
    return false;
}

void MusicLibrary::set_folder_listener(std::function<void(const std::string&)> on_folder) {
    m_on_folder = std::move(on_folder);
}

bool MusicLibrary::inside_roots(const std::string& real) const {
    std::lock_guard lock(m_roots_mutex);
    for (const auto& root : m_roots) {
        if (real.size() > root.size() && real.compare(0, root.size(), root) == 0 &&
            real[root.size()] == '/') {
            return true;
        }
        if (real == root) {
            return true;
        }
    }
    return false;
}

bool MusicLibrary::is_servable(const std::string& path) const {
    auto resolved = real_path(path);
    struct ::stat info {};
    return resolved && inside_roots(*resolved) && stat(resolved->c_str(), &info) == 0 &&
           S_ISREG(info.st_mode);
}

ScanReport MusicLibrary::remove_unseen(Walk& walk) {
    while (!walk.linked.empty()) {
        std::string folder = std::move(walk.linked.back());
        walk.linked.pop_back();
        walk_folder(folder, walk);
    }
    if (walk.reader) {
        for (auto& job : walk.reader->finish()) {
            store(std::move(job), walk);
        }
        walk.reader.reset();
    }
    // A cancelled walk did not see everything: it removes nothing.
    if (!(m_cancelled && *m_cancelled)) {
        for (const auto& [path, stamp] : walk.expected) {
            if (!walk.batch) {
                walk.batch = std::make_unique<Catalogue::Batch>(m_catalogue);
            }
            m_catalogue.remove(path);
            ++walk.report.removed;
        }
    }
    walk.batch.reset();
    return walk.report;
}

ScanReport MusicLibrary::scan_all() {
    Walk walk;
    walk.expected = m_catalogue.stamps();
    walk.reader = std::make_unique<TagReader>();
    m_walked.clear();
    for (const auto& root : roots()) {
        walk_folder(root.empty() ? "/" : root, walk);
    }
    ScanReport report = remove_unseen(walk);
    // Forget the rejected files that are gone (a cancelled walk did not look everywhere).
    if (!(m_cancelled && *m_cancelled)) {
        std::erase_if(m_rejected,
                      [&](const auto& entry) { return !walk.rejected_seen.count(entry.first); });
    }
    return report;
}

ScanReport MusicLibrary::refresh(const std::string& path) {
    Walk walk;
    struct ::stat info {};
    if (lstat(path.c_str(), &info) != 0) {
        // Gone: the file itself, or a folder with everything below it.
        Catalogue::Batch batch(m_catalogue);
        walk.report.removed += m_catalogue.remove(path) ? 1 : 0;
        walk.report.removed += m_catalogue.remove_under(path);
        return walk.report;
    }
    if (S_ISLNK(info.st_mode)) {
        // A link: taken as what it leads to, when that lies inside the music folders.
        auto target = real_path(path);
        if (!target || !inside_roots(*target) || stat(path.c_str(), &info) != 0) {
            return walk.report;
        }
    }
    if (S_ISDIR(info.st_mode)) {
        walk.expected = m_catalogue.stamps(path);
        walk.reader = std::make_unique<TagReader>();
        walk_folder(path, walk);
        return remove_unseen(walk);
    }
    if (auto known = m_catalogue.stamp(path)) {
        walk.expected.emplace(path, *known);
    }
    if (S_ISREG(info.st_mode) && !playable_extension(path).empty()) {
        visit_file(path, info, walk);
    }
    if (!walk.expected.empty()) {
        // Catalogued but no longer a playable file.
        walk.report.removed += m_catalogue.remove(path) ? 1 : 0;
    }
    walk.batch.reset();
    return walk.report;
}

void MusicLibrary::walk_folder(const std::string& folder, Walk& walk) {
    if (m_cancelled && *m_cancelled) {
        return;
    }
    struct ::stat info {};
    if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return;
    }
    auto resolved = real_path(folder);
    if (!resolved || !(inside_roots(*resolved) || *resolved == "/")) {
        log_line("skipped " + printable(folder) + ": it leads outside the music folders");
        ++walk.report.skipped;
        return;
    }
    std::pair<dev_t, ino_t> key{info.st_dev, info.st_ino};
    auto walked = m_walked.find(key);
    bool walked_elsewhere =
        walked != m_walked.end() && walked->second != folder && same_folder(walked->second, key);
    if (!walk.visited.insert(key).second || walked_elsewhere) {
        log_line("skipped " + printable(folder) +
                 ": already walked (a link loop or a second link)");
        return;
    }
    m_walked[key] = folder;
    std::unique_ptr<DIR, CloseDir> dir(opendir(folder.c_str()));
    if (!dir) {
        log_line("skipped folder " + printable(folder) + ": cannot be read");
        ++walk.report.skipped;
        return;
    }
    if (m_on_folder) {
        m_on_folder(folder);
    }
    std::string prefix = folder == "/" ? "" : folder;
    std::vector<std::string> folders;
    while (dirent* entry = readdir(dir.get())) {
        if (m_cancelled && *m_cancelled) {
            return;
        }
        std::string name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        std::string path = prefix + "/" + name;
        unsigned char type = entry->d_type;
        if (type == DT_DIR) {
            folders.push_back(std::move(path));
            continue;
        }
        if (type == DT_REG && playable_extension(name).empty()) {
            continue;
        }
        struct ::stat entry_info {};
        if (type == DT_LNK) {
            // A link is followed only when it stays inside the music folders.
            auto target = real_path(path);
            if (!target || !inside_roots(*target)) {
                log_line("skipped " + printable(path) + ": link leads outside the music folders");
                ++walk.report.skipped;
                continue;
            }
        }
        if (fstatat(dirfd(dir.get()), entry->d_name, &entry_info, 0) != 0) {
            log_line("skipped " + printable(path) + ": vanished or unreadable");
            ++walk.report.skipped;
            continue;
        }
        if (S_ISDIR(entry_info.st_mode)) {
            (type == DT_LNK ? walk.linked : folders).push_back(std::move(path));
        } else if (S_ISREG(entry_info.st_mode) && !playable_extension(name).empty()) {
            visit_file(path, entry_info, walk);
        }
    }
    dir.reset();
    for (const auto& sub : folders) {
        walk_folder(sub, walk);
    }
}

void MusicLibrary::visit_file(const std::string& path, const struct ::stat& info, Walk& walk) {
    FileStamp stamp = stamp_of(info);
    auto known = walk.expected.find(path);
    bool was_known = known != walk.expected.end();
    bool unchanged = was_known && known->second == stamp;
    if (was_known) {
        walk.expected.erase(known);
    }
    if (unchanged) {
        ++walk.report.files;
        return;
    }
    auto rejected = m_rejected.find(path);
    if (rejected != m_rejected.end() && rejected->second == stamp) {
        walk.rejected_seen.insert(path);
        ++walk.report.skipped;
        return;  // found to be no music before, and unchanged since
    }
    TagJob job{path, stamp, was_known, std::nullopt};
    if (walk.reader) {
        for (auto& done : walk.reader->submit(std::move(job))) {
            store(std::move(done), walk);
        }
        return;
    }
    job.tags = read_track_tags(path);
    store(std::move(job), walk);
}

void MusicLibrary::store(TagJob job, Walk& walk) {
    const std::string& path = job.path;
    bool was_known = job.was_known;
    auto& tags = job.tags;
    if (!walk.batch) {
        walk.batch = std::make_unique<Catalogue::Batch>(m_catalogue);
    }
    if (!tags) {
        log_line("skipped " + printable(path) + ": damaged or not a music file TagLib reads");
        m_rejected[path] = job.stamp;
        walk.rejected_seen.insert(path);
        ++walk.report.skipped;
        // A catalogued file that changed into something unreadable is served no more.
        if (was_known) {
            m_catalogue.remove(path);
        }
        return;
    }
    m_rejected.erase(path);
    m_catalogue.put(path, job.stamp, tags->title, tags->author, was_known);
    ++walk.report.files;
    ++walk.report.indexed;
    if (++walk.pending >= kFilesPerTransaction) {
        walk.batch.reset();
        walk.pending = 0;
    }
}

}  // namespace wavlon::songd
