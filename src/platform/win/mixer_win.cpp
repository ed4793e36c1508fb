// The system's audio mixer on Windows: the winmm mixer functions.
//
// Lines and controls are the system's; their ids pass through unchanged. A control that the
// system marks uniform holds one value for all channels: it is read once and answered for each
// channel asked, and written with the louder of the values given, as a centred channel is on
// Linux. Change notices come as MM_MIXM_CONTROL_CHANGE to a message-only window of the thread
// that opened the Mixer. The system sends them to every handle, also for a change made through
// this one, and for any control: a notice is passed on only for a control looked up here and
// only when its values differ from the last ones this Mixer wrote or saw.
#include "platform/mixer.h"

#include <windows.h>

#include <mmsystem.h>

#include <algorithm>
#include <map>

#include "platform/win/wide_text.h"

namespace wavlon::platform {
namespace {

constexpr wchar_t kWindowClass[] = L"WavlonMixerNotify";

MixerLineInfo line_info(const MIXERLINEW& line) {
    return MixerLineInfo{line.dwLineID, line.dwComponentType,
                         std::clamp<std::uint32_t>(line.cChannels, 1, 2), line.cConnections,
                         narrow(line.szName)};
}

}  // namespace

struct Mixer::Impl {
    struct Control {
        MixerControlType type;
        bool uniform;
        std::uint32_t channels;  // of the control's line, at most 2
        std::uint32_t minimum;
        std::uint32_t maximum;
        std::vector<std::uint32_t> known;  // the last values written or reported
    };

    ~Impl() {
        if (mixer != nullptr) {
            mixerClose(mixer);
        }
        if (window != nullptr) {
            DestroyWindow(window);
        }
    }

    HMIXEROBJ object() const { return reinterpret_cast<HMIXEROBJ>(mixer); }

    // `channels` values of the control, or nothing when the system refuses.
    std::optional<std::vector<std::uint32_t>> read(std::uint32_t id, const Control& control,
                                                   std::uint32_t channels) {
        std::uint32_t asked = control.uniform ? 1 : std::min(channels, control.channels);
        std::vector<MIXERCONTROLDETAILS_UNSIGNED> values(asked);
        MIXERCONTROLDETAILS details{};
        details.cbStruct = sizeof(details);
        details.dwControlID = id;
        details.cChannels = asked;
        details.cbDetails = sizeof(MIXERCONTROLDETAILS_UNSIGNED);
        details.paDetails = values.data();
        if (mixerGetControlDetailsW(object(), &details,
                                    MIXER_OBJECTF_HMIXER | MIXER_GETCONTROLDETAILSF_VALUE) !=
            MMSYSERR_NOERROR) {
            return std::nullopt;
        }
        std::vector<std::uint32_t> out(channels);
        for (std::uint32_t i = 0; i < channels; ++i) {
            out[i] = values[std::min(i, asked - 1)].dwValue;
        }
        return out;
    }

    bool write(std::uint32_t id, const Control& control, std::span<const std::uint32_t> given) {
        std::vector<MIXERCONTROLDETAILS_UNSIGNED> values;
        if (control.uniform || control.channels == 1) {
            values.push_back({*std::max_element(given.begin(), given.end())});
        } else {
            for (std::uint32_t i = 0; i < control.channels; ++i) {
                values.push_back({given[std::min<std::size_t>(i, given.size() - 1)]});
            }
        }
        MIXERCONTROLDETAILS details{};
        details.cbStruct = sizeof(details);
        details.dwControlID = id;
        details.cChannels = static_cast<DWORD>(values.size());
        details.cbDetails = sizeof(MIXERCONTROLDETAILS_UNSIGNED);
        details.paDetails = values.data();
        return mixerSetControlDetails(object(), &details,
                                      MIXER_OBJECTF_HMIXER | MIXER_SETCONTROLDETAILSF_VALUE) ==
               MMSYSERR_NOERROR;
    }

    // A notice of the system: passed on when the control's values really changed.
    void changed(std::uint32_t id) {
        auto found = controls.find(id);
        if (found == controls.end()) {
            return;
        }
        Control& control = found->second;
        auto now = read(id, control, control.channels);
        if (!now || *now == control.known) {
            return;
        }
        control.known = *now;
        if (listener) {
            // Last: the listener may destroy the Mixer, and this with it.
            ChangeListener call = listener;
            call(id);
        }
    }

    static LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
        if (message == MM_MIXM_CONTROL_CHANGE) {
            auto* impl = reinterpret_cast<Impl*>(GetWindowLongPtrW(window, GWLP_USERDATA));
            if (impl != nullptr) {
                impl->changed(static_cast<std::uint32_t>(lparam));
            }
            return 0;
        }
        return DefWindowProcW(window, message, wparam, lparam);
    }

    HWND window = nullptr;
    HMIXER mixer = nullptr;
    ChangeListener listener;
    std::map<std::uint32_t, Control> controls;  // those looked up, by id
};

Mixer::Mixer(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}

Mixer::~Mixer() = default;

std::unique_ptr<Mixer> Mixer::open(std::uint32_t device, ChangeListener listener) {
    if (device >= mixerGetNumDevs()) {
        return nullptr;
    }
    static const ATOM window_class = [] {
        WNDCLASSW description{};
        description.lpfnWndProc = Impl::window_proc;
        description.hInstance = GetModuleHandleW(nullptr);
        description.lpszClassName = kWindowClass;
        return RegisterClassW(&description);
    }();
    if (window_class == 0) {
        return nullptr;
    }
    auto impl = std::make_unique<Impl>();
    impl->listener = std::move(listener);
    impl->window = CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   GetModuleHandleW(nullptr), nullptr);
    if (impl->window == nullptr) {
        return nullptr;
    }
    SetWindowLongPtrW(impl->window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(impl.get()));
    MIXERCAPSW caps{};
    if (mixerOpen(&impl->mixer, device, reinterpret_cast<DWORD_PTR>(impl->window), 0,
                  MIXER_OBJECTF_MIXER | CALLBACK_WINDOW) != MMSYSERR_NOERROR ||
        mixerGetDevCapsW(reinterpret_cast<UINT_PTR>(impl->mixer), &caps, sizeof(caps)) !=
            MMSYSERR_NOERROR) {
        return nullptr;
    }
    return std::unique_ptr<Mixer>(new Mixer(std::move(impl)));
}

bool Mixer::connected() const {
    return m_impl->mixer != nullptr;
}

std::optional<MixerLineInfo> Mixer::line_by_component_type(std::uint32_t component_type) {
    MIXERLINEW line{};
    line.cbStruct = sizeof(line);
    line.dwComponentType = component_type;
    if (mixerGetLineInfoW(m_impl->object(), &line,
                          MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_COMPONENTTYPE) !=
        MMSYSERR_NOERROR) {
        return std::nullopt;
    }
    return line_info(line);
}

std::optional<MixerLineInfo> Mixer::source_line(std::uint32_t destination_line_id,
                                                std::uint32_t index) {
    MIXERLINEW destination{};
    destination.cbStruct = sizeof(destination);
    destination.dwLineID = destination_line_id;
    if (mixerGetLineInfoW(m_impl->object(), &destination,
                          MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_LINEID) != MMSYSERR_NOERROR ||
        (destination.fdwLine & MIXERLINE_LINEF_SOURCE) != 0 || index >= destination.cConnections) {
        return std::nullopt;
    }
    MIXERLINEW line{};
    line.cbStruct = sizeof(line);
    line.dwDestination = destination.dwDestination;
    line.dwSource = index;
    if (mixerGetLineInfoW(m_impl->object(), &line,
                          MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_SOURCE) != MMSYSERR_NOERROR) {
        return std::nullopt;
    }
    return line_info(line);
}

std::optional<MixerControlInfo> Mixer::control_by_type(std::uint32_t line_id,
                                                       MixerControlType type) {
    MIXERLINEW line{};
    line.cbStruct = sizeof(line);
    line.dwLineID = line_id;
    if (mixerGetLineInfoW(m_impl->object(), &line,
                          MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_LINEID) != MMSYSERR_NOERROR) {
        return std::nullopt;
    }
    MIXERCONTROLW found{};
    found.cbStruct = sizeof(found);
    MIXERLINECONTROLSW query{};
    query.cbStruct = sizeof(query);
    query.dwLineID = line_id;
    query.dwControlType = type == MixerControlType::Volume ? MIXERCONTROL_CONTROLTYPE_VOLUME
                                                           : MIXERCONTROL_CONTROLTYPE_MUTE;
    query.cControls = 1;
    query.cbmxctrl = sizeof(found);
    query.pamxctrl = &found;
    if (mixerGetLineControlsW(m_impl->object(), &query,
                              MIXER_OBJECTF_HMIXER | MIXER_GETLINECONTROLSF_ONEBYTYPE) !=
        MMSYSERR_NOERROR) {
        return std::nullopt;
    }
    Impl::Control control{
        type,
        (found.fdwControl & MIXERCONTROL_CONTROLF_UNIFORM) != 0,
        type == MixerControlType::Mute ? 1u : std::clamp<std::uint32_t>(line.cChannels, 1, 2),
        static_cast<std::uint32_t>(found.Bounds.dwMinimum),
        static_cast<std::uint32_t>(found.Bounds.dwMaximum),
        {}};
    control.known = m_impl->read(found.dwControlID, control, control.channels)
                        .value_or(std::vector<std::uint32_t>{});
    m_impl->controls[found.dwControlID] = control;
    return MixerControlInfo{found.dwControlID, type, narrow(found.szName), control.minimum,
                            control.maximum};
}

std::optional<std::vector<std::uint32_t>> Mixer::read_values(std::uint32_t control_id,
                                                             std::uint32_t channels) {
    auto found = m_impl->controls.find(control_id);
    if (found == m_impl->controls.end() || channels < 1 || channels > 2) {
        return std::nullopt;
    }
    return m_impl->read(control_id, found->second, channels);
}

bool Mixer::write_values(std::uint32_t control_id, std::span<const std::uint32_t> values) {
    auto found = m_impl->controls.find(control_id);
    if (found == m_impl->controls.end() || values.empty() || values.size() > 2) {
        return false;
    }
    Impl::Control& control = found->second;
    if (std::any_of(values.begin(), values.end(),
                    [&](std::uint32_t v) { return v < control.minimum || v > control.maximum; })) {
        return false;
    }
    if (!m_impl->write(control_id, control, values)) {
        return false;
    }
    // What the system now holds, so that its notice of this write compares equal.
    control.known =
        m_impl->read(control_id, control, control.channels).value_or(std::vector<std::uint32_t>{});
    return true;
}

}  // namespace wavlon::platform
