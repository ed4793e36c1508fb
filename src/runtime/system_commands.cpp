#include "runtime/system_commands.h"

#include <ctime>

#include "platform/dialogs.h"
#include "platform/network_check.h"
#include "platform/power.h"
#include "runtime/conversions.h"
#include "runtime/message_loop.h"

namespace wavlon::runtime {

DateTime now() {
    std::time_t seconds = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    ::localtime_s(&local, &seconds);
#else
    ::localtime_r(&seconds, &local);
#endif
    return date_time_from_parts(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                local.tm_hour, local.tm_min, local.tm_sec);
}

std::int32_t message_box(const Value& message, std::int32_t flags,
                         const std::optional<Text>& caption, std::uintptr_t owner) {
    auto style = static_cast<std::uint32_t>(flags);
    if ((style & platform::kMessageBoxSystemModal) == 0) {
        style |= platform::kMessageBoxTaskModal;
    }
    platform::MessageBoxRequest request;
    request.text = gbk_to_utf8(to_text(message));
    request.caption = gbk_to_utf8(caption.value_or("信息："_gb));
    request.flags = style;
    request.owner = owner;
    return static_cast<std::int32_t>(platform::dialogs().message_box(request));
}

void process_events() {
    process_pending_events();
}

Text browse_for_folder(const Text& title, bool include_files) {
    platform::FolderRequest request;
    request.title = gbk_to_utf8(title);
    request.include_files = include_files;
    return file_name_to_gbk(platform::dialogs().browse_for_folder(request));
}

bool shut_down_system(std::int32_t mode, bool force) {
    if (mode < 1 || mode > 5) {
        return false;
    }
    return platform::power().request(static_cast<platform::PowerRequest>(mode), force);
}

bool network_available() {
    return platform::network_available();
}

}  // namespace wavlon::runtime
