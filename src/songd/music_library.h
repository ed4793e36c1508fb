// The music folders and the catalogue kept in step with them.
//
// A scan walks the folders recursively and brings the catalogue up to date incrementally:
// files whose size and modification time are unchanged are not read again, new and changed
// files have their tags read, and files that are gone are removed. Symbolic links are followed
// only when they lead to a place inside one of the music folders, and no folder is walked twice
// (which also ends symlink loops), also when a link to it is added later. A damaged file, an
// unreadable folder or a file that vanishes during the scan is logged and skipped; the scan
// goes on. A file that is no music is remembered and not read again until it changes.
//
// Threads: one thread scans and refreshes (the indexer); is_servable may be called from any.
#pragma once

#include <sys/stat.h>
#include <atomic>
#include <cstdint>

#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "songd/catalogue.h"

namespace wavlon::songd {

struct TagJob;

struct ScanReport {
    std::int64_t files = 0;    // playable files found
    std::int64_t indexed = 0;  // of which new or changed: tags read and stored
    std::int64_t removed = 0;  // catalogue entries dropped
    std::int64_t skipped = 0;  // damaged or vanished files, unreadable folders
};

class MusicLibrary {
public:
    // See set_folders.
    MusicLibrary(Catalogue& catalogue, const std::vector<std::string>& folders);

    // The music folders, resolved to their real paths; folders that do not exist (yet) are
    // logged and left out until a later call finds them. True when the roots changed (then a
    // scan_all brings the catalogue in step: the rows of folders no longer served go).
    bool set_folders(const std::vector<std::string>& folders);

    void set_folder_listener(std::function<void(const std::string&)> on_folder);
    // A scan stops early once `*cancelled` is true; a cancelled scan removes nothing.
    void set_cancel_flag(const std::atomic<bool>* cancelled) { m_cancelled = cancelled; }

    std::vector<std::string> roots() const;
    // True when `path` is a root or lies below one, by its name alone.
    bool under_roots(const std::string& path) const;
    Catalogue& catalogue() { return m_catalogue; }

    // Walks every music folder; removes what was catalogued but is no longer found.
    ScanReport scan_all();
    // Brings one path up to date after a change: a file is (re)read or removed, a folder is
    // walked again (recursively) and what vanished below it removed.
    ScanReport refresh(const std::string& path);

    // True when `path` resolves to a regular file inside one of the music folders.
    bool is_servable(const std::string& path) const;

private:
    struct Walk;
    void walk_folder(const std::string& folder, Walk& walk);
    // Drops what the walk expected but did not find; ends the walk's transaction.
    ScanReport remove_unseen(Walk& walk);
    void visit_file(const std::string& path, const struct ::stat& info, Walk& walk);
    // Stores what was read of a file (or drops a file that cannot be read).
    void store(TagJob job, Walk& walk);
    bool inside_roots(const std::string& real_path) const;

    Catalogue& m_catalogue;
    mutable std::mutex m_roots_mutex;  // the roots are read by the serving threads
    std::vector<std::string> m_roots;
    std::set<std::string> m_missing;  // wanted folders not found (logged once each)
    // Every folder walked, by device and inode, with the path it was walked by: a folder
    // reached again through a link added later is not walked a second time.
    std::map<std::pair<dev_t, ino_t>, std::string> m_walked;
    std::function<void(const std::string&)> m_on_folder;
    const std::atomic<bool>* m_cancelled = nullptr;
    // Files that are no music (damaged, zero-filled, misnamed) by the size and modification
    // time they had when read: not read again, nor logged, until they change.
    std::unordered_map<std::string, FileStamp> m_rejected;
};

}  // namespace wavlon::songd
