#include "runtime/config_location.h"

#include <cstdint>
#include <optional>
#include <string>

#include "platform/files.h"
#include "runtime/file_commands.h"
#include "runtime/program.h"

namespace wavlon::runtime {
namespace {

// A build without an install folder (the Windows one) has no installed copy.
#ifndef WAVLON_INSTALL_BINDIR
#define WAVLON_INSTALL_BINDIR ""
#endif

Text& installed_folder_override() {
    static Text folder;
    return folder;
}

bool runs_installed() {
    const Text installed = installed_program_folder();
    return !installed.empty() && platform::resolved_path(gbk_to_file_name(run_directory_path())) ==
                                     platform::resolved_path(gbk_to_file_name(installed));
}

bool make_folders(const Text& folder) {
    return platform::make_folders(gbk_to_file_name(folder));
}

bool file_present(const Text& name) {
    std::optional<std::uint32_t> attributes = platform::entry_attributes(gbk_to_file_name(name));
    return attributes && (*attributes & kAttributeDirectory) == 0;
}

// The whole file, or nothing when it cannot be read.
bool read_file(const Text& name, std::string& content) {
    return platform::read_whole_file(gbk_to_file_name(name), content) == platform::ReadResult::Ok;
}

Text beside_program(std::string_view name) {
    return run_directory_path() + "/" + Text(name);
}

Text in_user_folder(const Text& folder, std::string_view name) {
    return folder.empty() ? Text() : folder + "/" + Text(name);
}

}  // namespace

Text user_config_folder() {
    const std::string folder = platform::user_settings_folder();
    return folder.empty() ? Text() : file_name_to_gbk(folder);
}

Text installed_program_folder() {
    const Text& override_folder = installed_folder_override();
    return override_folder.empty() ? file_name_to_gbk(WAVLON_INSTALL_BINDIR) : override_folder;
}

void set_installed_program_folder_for_tests(Text folder) {
    installed_folder_override() = std::move(folder);
}

Text config_file_to_read(std::string_view name) {
    if (runs_installed()) {
        return in_user_folder(user_config_folder(), name);
    }
    const Text beside = beside_program(name);
    if (can_write_file(beside)) {
        return beside;
    }
    const Text user = in_user_folder(user_config_folder(), name);
    return !user.empty() && file_present(user) ? user : beside;
}

Text config_file_to_write(std::string_view name) {
    if (runs_installed()) {
        // A folder that cannot be made leaves the write to fail on the missing folder.
        const Text folder = user_config_folder();
        if (!folder.empty()) {
            make_folders(folder);
        }
        return in_user_folder(folder, name);
    }
    const Text beside = beside_program(name);
    if (can_write_file(beside)) {
        return beside;
    }
    const Text folder = user_config_folder();
    if (folder.empty()) {
        return beside;
    }
    const Text user = in_user_folder(folder, name);
    // A folder that cannot be made leaves the write to fail on the missing folder.
    if (make_folders(folder) && !file_present(user) && file_present(beside)) {
        std::string content;
        if (read_file(beside, content)) {
            std::string_view part = content;
            write_file_parts(user, {&part, 1});
        }
    }
    return user;
}

}  // namespace wavlon::runtime
