#include "app/skins.h"

#include "app/skin_data.h"
#include "platform/skin_engine.h"
#include "runtime/byte_set.h"

namespace wavlon::app {

void apply_skin(int number) {
    // A private copy of the chosen skin's byte-set, released when the call returns.
    runtime::ByteSet skin;
    if (number >= 1 && number <= stored_skin_count()) {
        skin = runtime::ByteSet::from_stored(stored_skin(number)).value_or(runtime::ByteSet{});
    }
    const std::uint8_t* data = skin.empty() ? nullptr : skin.data();
    auto size = static_cast<std::uint32_t>(skin.size());
    // The engine's answer is not looked at: a refused skin leaves the system look.
    platform::SkinH_AttachRes(data, size, "", 0, 0, 0);
}

}  // namespace wavlon::app
