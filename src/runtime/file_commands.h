// File commands: the run directory, file search, existence, whole-file writes and attributes.
//
// Names are GB18030 texts with "/" as the separator; they are converted to UTF-8 for the file
// system, except for the parts of a path that exist only under their own bytes (GBK names made
// elsewhere), which are used as they stand. A relative name is relative to the current directory
// (the run directory once the runtime is initialised). Every command reports failure through its
// result only.
//
// Attributes follow the runtime's bit values. On Linux an entry has:
//   0x10 directory       for a directory (a symbolic link counts as what it points to),
//   0x20 archive         for every entry that is not a directory,
//   0x01 read-only       when none of its write permission bits is set.
// Hidden (0x02) and system (0x04) have no Linux meaning and are never reported; a dot file is
// an ordinary entry. On Windows an entry has the system's own attributes, names are UTF-16
// through and through, and the temporary file of a write is held open against removal
// instead of locked.
#pragma once

#include <array>
#include <concepts>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/byte_set.h"
#include "runtime/text.h"

namespace wavlon::runtime {

constexpr std::uint32_t kAttributeReadOnly = 0x01;
constexpr std::uint32_t kAttributeHidden = 0x02;
constexpr std::uint32_t kAttributeSystem = 0x04;
constexpr std::uint32_t kAttributeDirectory = 0x10;
constexpr std::uint32_t kAttributeArchive = 0x20;

// The program's directory without a trailing "/".
Text run_directory();

// One file search, as a routine holds it.
//
// find() with a non-empty pattern starts a new search (closing the previous one) and returns
// the first match; with an empty pattern it returns the next match of the current search. The
// pattern is a folder, "/", and a file part with the wildcards "*" (any run of characters) and
// "?" (one character), matched case-insensitively; "*.*" matches every name. A pattern without
// "/" searches the current directory, one starting with "/" and nothing before it the root.
//
// The folder is read once when the search starts: entries "." and ".." are left out, and the
// rest are returned sorted by name, case-insensitively, so the order is stable. A name that is
// not valid UTF-8 is returned as the text its bytes are (see file_name_to_gbk in
// platform/codec.h). Each call applies its own mask: left out, every entry that is not a
// directory matches; given, it is
// reduced to the bits 0x37 and an entry matches when its attributes share a bit with it (a mask of
// 0 matches entries without any of those bits, which on Linux is none). When nothing further
// matches, the search is closed and the result is the empty text; a folder that cannot be read
// gives no entries.
class FileSearch {
public:
    Text find(const Text& pattern, std::optional<std::int32_t> mask = std::nullopt);
    void close();
    bool is_open() const { return m_open; }

private:
    struct Entry {
        Text name;
        std::string file_name;  // as the folder holds it
        std::uint32_t attributes;
        bool mode_known;  // the read-only bit is known; else looked up when a mask asks for it
    };
    std::string m_folder;  // the folder searched, as the file system names it
    std::vector<Entry> m_entries;
    std::size_t m_next = 0;
    bool m_open = false;
};

// The search of the routine that runs now, used by find_file and close_find. Without a
// FileSearchScope it is one search per thread.
FileSearch& current_file_search();

// Gives a routine a search of its own for the routine's lifetime: a fresh search becomes the
// current one and is closed at the end, and the caller's search is current again.
class FileSearchScope {
public:
    FileSearchScope();
    ~FileSearchScope();
    FileSearchScope(const FileSearchScope&) = delete;
    FileSearchScope& operator=(const FileSearchScope&) = delete;

private:
    FileSearch m_search;
    FileSearch* m_previous;
};

// FileSearch::find and close on the current search.
Text find_file(const Text& pattern, std::optional<std::int32_t> mask = std::nullopt);
void close_find();

// True when a file or directory has this name; a name whose file part holds "*" or "?" is
// true when any entry matches it. The empty name is false.
bool file_exists(const Text& name);

// The attributes of the named entry (see above), or nullopt when it does not exist.
std::optional<std::uint32_t> file_attributes(const Text& name);

// Creates the file, or replaces its content, with the parts written in order. The bytes go to
// a temporary file in the same folder which then replaces the target in one step, so the
// target is never left half-written; an existing file keeps its permissions and a symbolic
// link keeps pointing at it. False (and no temporary file left behind) when the folder cannot
// be written, the target is a directory or read-only, or a write fails.
bool write_file_parts(const Text& name, std::span<const std::string_view> parts);

// Removes the temporary files that writes of this file by write_file_parts left behind when
// their process was killed (a write still going on, in any process, keeps its own). Nothing
// else is touched. write_file_parts does this itself before it writes.
void remove_abandoned_writes(const Text& name);

// True when write_file_parts may create or replace the file: its folder takes new files from
// this process, and the file is missing or is neither a directory nor without write bits.
bool can_write_file(const Text& name);

template <class... Parts>
requires(std::same_as<Parts, ByteSet>&&...) bool write_file(const Text& name,
                                                            const Parts&... parts) {
    std::array<std::string_view, sizeof...(Parts)> views{parts.view()...};
    return write_file_parts(name, views);
}
inline bool write_file(const Text& name, std::span<const ByteSet> parts) {
    std::vector<std::string_view> views;
    for (const ByteSet& part : parts) {
        views.push_back(part.view());
    }
    return write_file_parts(name, views);
}

// Applies `attributes` masked with 0x27. Read-only (0x01) clears every write permission bit;
// without it a file that has no write bit gets its owner's back. Hidden, system and archive
// are accepted and change nothing; a directory's permissions are left alone. True when the
// entry exists and its permissions are as asked.
bool set_file_attributes(const Text& name, std::int32_t attributes);

}  // namespace wavlon::runtime
