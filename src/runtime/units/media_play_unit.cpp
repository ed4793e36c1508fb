#include "runtime/units/media_play_unit.h"

#include <QWidget>

namespace wavlon::units {

const runtime::UnitTypeInfo& MediaPlayUnit::type_info() {
    static const runtime::UnitTypeInfo info = [] {
        runtime::UnitTypeInfo t;
        t.type_id = kTypeId;
        t.name = "媒体播放"_gb;
        t.english_name = "MediaPlay";
        t.flags = runtime::kTypeNonVisual;
        t.create = [](const runtime::UnitCreateParams& params) -> std::unique_ptr<runtime::Unit> {
            return std::make_unique<MediaPlayUnit>(params);
        };
        return t;
    }();
    return info;
}

MediaPlayUnit::MediaPlayUnit(const runtime::UnitCreateParams& params) : NonVisualUnit(params) {
    // A video window handle counts only when it names one of the program's widgets.
    m_device.set_window_check([](std::int32_t handle) {
        return handle != 0 && QWidget::find(static_cast<WId>(static_cast<std::uint32_t>(handle)));
    });
}

}  // namespace wavlon::units
