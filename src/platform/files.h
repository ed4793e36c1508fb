// The file system under the runtime's file and settings commands.
//
// Paths are the file system's names as platform/codec.h's gbk_to_file_name gives them, with
// "/" as the separator: bytes (mostly UTF-8) on Linux, UTF-8 on Windows, whose names are
// UTF-16 and are converted at each call, so no name is lost there. Attributes are in the
// runtime's bit values: read-only 0x01, hidden 0x02, system 0x04, directory 0x10, archive
// 0x20. On Linux an entry is a directory (a symbolic link counts as what it points to) or
// archive, and read-only when none of its write permission bits is set; hidden and system are
// never reported. On Windows they are the entry's own attributes. No call throws; failures are
// results.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace wavlon::platform {

struct FolderEntry {
    std::string name;  // as the folder holds it
    std::uint32_t attributes;
    bool read_only_known;  // false: the read-only bit was not looked up
};

// The entries of `folder` but "." and "..", in no particular order; none when it cannot be
// read. Without `read_only_needed` the read-only bit may be left out where finding it costs
// a look-up of its own (on Linux, for regular files and directories).
std::vector<FolderEntry> list_folder(const std::string& folder, bool read_only_needed);

// The entry's attributes, or nullopt when there is none.
std::optional<std::uint32_t> entry_attributes(const std::string& path);

// Sets the read-only, hidden, system and archive bits of `attributes` (the others are
// ignored) where the platform has them; see runtime/file_commands.h for Linux.
bool set_entry_attributes(const std::string& path, std::uint32_t attributes);

enum class ReadResult { Ok, Missing, Failed };

// Appends the whole file to `content`; Missing when it or its folder does not exist.
ReadResult read_whole_file(const std::string& path, std::string& content);

// True when replace_file may create or replace the file: its folder takes new files from this
// process, and the file is missing or is neither a directory nor read-only.
bool can_replace_file(const std::string& path);

// Creates the file or replaces its content with the parts, in one step through a temporary
// file beside it that no other process takes for abandoned while it is written.
bool replace_file(const std::string& path, std::span<const std::string_view> parts);

// Removes the temporary files of replace_file for `path` whose writer is gone.
void remove_abandoned_temporaries(const std::string& path);

// A name folded for case-insensitive matching and ordering in every script (simple case
// folding), as UTF-8 and as characters.
void fold_case(std::string_view utf8, std::string& folded, std::u32string& chars);

// The path made absolute, with symbolic links resolved where the platform has them; as given
// when that fails.
std::string resolved_path(const std::string& path);

// Creates the folder and those above it that are missing (private to the user where the
// platform has modes); true when it exists afterwards.
bool make_folders(const std::string& path);

// The user's folder for this program's settings, without a trailing "/": on Linux
// $XDG_CONFIG_HOME/wavlon, else $HOME/.config/wavlon, else the password database's home +
// "/.config/wavlon"; on Windows %APPDATA%/Wavlon. Empty when there is none. The environment
// is read on every call.
std::string user_settings_folder();

// The folder of the running program, without a trailing "/"; the current folder when it
// cannot be found.
std::string program_folder();

bool change_directory(const std::string& path);

}  // namespace wavlon::platform
