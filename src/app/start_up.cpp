#include "app/start_up.h"

#include "app/main_window_units.h"
#include "app/skins.h"
#include "platform/network_check.h"
#include "player/music_folder.h"
#include "player/online_search.h"
#include "player/volume.h"
#include "player/window_units.h"
#include "runtime/conversions.h"
#include "runtime/system_commands.h"

namespace wavlon::app {

using runtime::operator""_gb;
using player::set_disabled;
using player::set_text;
using runtime::Text;
using runtime::Value;
namespace u = units;

namespace {

constexpr int kSkinNumber = 6;

void disable_search_units() {
    set_disabled(u::编辑框3, true);
    set_disabled(u::超级列表框1, true);
    set_disabled(u::按钮8, true);
}

}  // namespace

void on_main_window_created() {
    // A service address the user set replaces the built-in one for the check as well.
    if (search::load_service_setting()) {
        platform::set_network_check_url(search::search_service_url());
    }
    apply_skin(kSkinNumber);
    bool online = runtime::network_available();
    if (!online) {
        runtime::message_box(Value::text("请检测网络通讯连接是否正常"_gb), 0);
        disable_search_units();
        // 透明标签11 keeps its stored text: the red "network unusable" line.
    }
    player::init_volume_slider();
    player::load_stored_music_folder();
    player::show_folder_hint();
    if (online) {
        set_text(u::透明标签11, u::TransLabelUnit::kCaption, {});
    }
}

void update_clock_label() {
    set_text(u::透明标签2, u::TransLabelUnit::kCaption,
             runtime::to_text(Value::date_time(runtime::now())));
}

}  // namespace wavlon::app
