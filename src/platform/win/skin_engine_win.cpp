// The skin engine on Windows: reads the skin, shifts its colours once and keeps them for the
// units, which paint with them (platform/win/skin_look.h).
#include <memory>
#include <string>

#include "platform/skin_engine.h"
#include "platform/win/skin_look.h"

namespace wavlon::platform {
namespace {

std::unique_ptr<Skin> g_skin;

BOOL CALLBACK tell_window(HWND window, LPARAM) {
    SendMessageW(window, look_changed_message(), 0, 0);
    return TRUE;
}

}  // namespace

const Skin* attached_skin() {
    return g_skin.get();
}

std::optional<std::uint32_t> skin_colour(std::string_view role) {
    if (!g_skin) {
        return std::nullopt;
    }
    auto found = g_skin->colors.find(std::string(role));
    if (found == g_skin->colors.end()) {
        return std::nullopt;
    }
    return found->second;
}

UINT look_changed_message() {
    static const UINT message = RegisterWindowMessageW(L"Wavlon.LookChanged");
    return message;
}

int SkinH_AttachRes(const std::uint8_t* data, std::uint32_t size, const char* /*password*/, int hue,
                    int saturation, int brightness) {
    if (data == nullptr || size == 0) {
        return 0;
    }
    std::optional<Skin> skin = parse_skin({reinterpret_cast<const char*>(data), size});
    if (!skin) {
        return 0;  // a skin this engine cannot read leaves the system look
    }
    for (auto& [role, colour] : skin->colors) {
        colour = shift_color(colour, hue, saturation, brightness);
    }
    g_skin = std::make_unique<Skin>(std::move(*skin));
    EnumThreadWindows(GetCurrentThreadId(), tell_window, 0);
    return 1;
}

}  // namespace wavlon::platform
