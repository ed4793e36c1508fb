#include "platform/media_control.h"

#include <cstdint>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>

#include "platform/media_backend.h"
#include "platform/media_command_words.h"
#include "platform/module_loader.h"

namespace wavlon::platform {
namespace {

// An alias's open source, and the window handle kept for it (only answered, never drawn in).
struct OpenSource {
    std::unique_ptr<MediaStream> stream;
    std::int64_t window = 0;
};

// Open sources by lower-cased alias. Left alive at exit on purpose: pipelines must not be torn
// down by static destructors after GStreamer's own state may be gone.
std::map<std::string, OpenSource>& open_sources() {
    static auto* open = new std::map<std::string, OpenSource>;
    return *open;
}

// Read on the backend's threads, set on the caller's: guarded.
std::mutex g_end_mutex;
std::function<void()> g_end_listener;

void tell_end() {
    std::function<void()> listener;
    {
        std::lock_guard lock(g_end_mutex);
        listener = g_end_listener;
    }
    if (listener) {
        listener();
    }
}

std::function<void(const std::string&)>& observer() {
    static std::function<void(const std::string&)> current;
    return current;
}

std::optional<std::int64_t> parse_number(const std::string& word) {
    std::size_t i = word.size() > 1 && (word[0] == '-' || word[0] == '+') ? 1 : 0;
    if (i == word.size()) {
        return std::nullopt;
    }
    std::int64_t value = 0;
    for (; i < word.size(); ++i) {
        if (word[i] < '0' || word[i] > '9' ||
            value > (std::numeric_limits<std::int64_t>::max() - 9) / 10) {
            return std::nullopt;
        }
        value = value * 10 + (word[i] - '0');
    }
    return word[0] == '-' ? -value : value;
}

struct Call {
    OpenSource& source;
    const std::string& alias;
    std::optional<std::int64_t> number;  // the "%d" of the pattern, if it has one
    std::string* answer;
};

bool answer_with(Call& call, const std::string& text) {
    if (call.answer != nullptr) {
        *call.answer = text;
    }
    return true;
}

const char* mode_name(MediaMode mode) {
    switch (mode) {
        case MediaMode::Playing:
            return "playing";
        case MediaMode::Paused:
            return "paused";
        case MediaMode::Stopped:
            break;
    }
    return "stopped";
}

// Every command but open: its words ("%a" the alias, "%d" a signed integer) and what it does.
struct CommandRule {
    std::string_view pattern;
    bool (*run)(Call&);
};

const CommandRule kCommands[] = {
    {"close %a", [](Call& c) { return open_sources().erase(ascii_lower(c.alias)) == 1; }},
    {"play %a", [](Call& c) { return c.source.stream->play(std::nullopt); }},
    {"play %a from %d", [](Call& c) { return c.source.stream->play(c.number); }},
    {"pause %a", [](Call& c) { return c.source.stream->pause(); }},
    {"resume %a", [](Call& c) { return c.source.stream->resume(); }},
    {"stop %a", [](Call& c) { return c.source.stream->stop(); }},
    {"seek %a to start", [](Call& c) { return c.source.stream->seek_to_start(); }},
    {"status %a mode", [](Call& c) { return answer_with(c, mode_name(c.source.stream->mode())); }},
    {"status %a position",
     [](Call& c) { return answer_with(c, std::to_string(c.source.stream->position_ms())); }},
    {"status %a length",
     [](Call& c) {
         std::optional<std::int64_t> length = c.source.stream->length_ms();
         return length && answer_with(c, std::to_string(*length));
     }},
    {"status %a window handle",
     [](Call& c) { return answer_with(c, std::to_string(c.source.window)); }},
    // Positions are always milliseconds; the command is accepted for the callers that set it.
    {"set %a time format milliseconds", [](Call&) { return true; }},
    {"set %a time format ms", [](Call&) { return true; }},
    {"window %a handle %d",
     [](Call& c) {
         c.source.window = *c.number;
         return true;
     }},
};

// Matches `words` against `pattern`; fills the alias and number on success.
bool matches(std::string_view pattern, const std::vector<std::string>& words, std::string& alias,
             std::optional<std::int64_t>& number) {
    std::size_t i = 0;
    while (!pattern.empty()) {
        std::size_t space = pattern.find(' ');
        std::string_view word = pattern.substr(0, space);
        pattern = space == std::string_view::npos ? std::string_view() : pattern.substr(space + 1);
        if (i == words.size()) {
            return false;
        }
        if (word == "%a") {
            alias = words[i];
        } else if (word == "%d") {
            number = parse_number(words[i]);
            if (!number) {
                return false;
            }
        } else if (ascii_lower(words[i]) != word) {
            return false;
        }
        ++i;
    }
    return i == words.size();
}

bool run_open(const std::string& device_type, const std::string& element,
              const std::string& alias) {
    if (alias.empty() || ascii_lower(device_type) == "cdaudio" ||
        open_sources().count(ascii_lower(alias)) != 0) {
        return false;
    }
    MediaBackend& backend = gstreamer_media_backend();
    std::optional<MediaSource> source = backend.source_for(element);
    if (!source) {
        return false;
    }
    std::unique_ptr<MediaStream> stream = backend.open(*source, tell_end);
    if (!stream) {
        return false;
    }
    open_sources()[ascii_lower(alias)].stream = std::move(stream);
    return true;
}

// "open <element> type <type> alias <alias>", the two named parts in either order.
bool run_open_words(const std::vector<std::string>& words) {
    if (words.size() != 6) {
        return false;
    }
    std::string type;
    std::string alias;
    for (std::size_t i = 2; i < 6; i += 2) {
        std::string key = ascii_lower(words[i]);
        if (key == "type") {
            type = words[i + 1];
        } else if (key == "alias") {
            alias = words[i + 1];
        } else {
            return false;
        }
    }
    return !type.empty() && run_open(type, words[1], alias);
}

}  // namespace

// GStreamer and everything it maps come in with the first element named, not at start.
MediaBackend& gstreamer_media_backend() {
    class Unavailable final : public MediaBackend {
        std::optional<MediaSource> source_for(const std::string&) override { return std::nullopt; }
        std::unique_ptr<MediaStream> open(const MediaSource&, std::function<void()>) override {
            return nullptr;
        }
    };
    using Entry = MediaBackend* (*)();
    static MediaBackend* const loaded = [] {
        auto entry = reinterpret_cast<Entry>(module_entry("media", "wavlon_media_backend"));
        return entry != nullptr ? entry() : nullptr;
    }();
    static Unavailable unavailable;
    return loaded != nullptr ? *loaded : unavailable;
}

bool send_media_command(const std::string& command, std::string* answer) {
    if (observer()) {
        observer()(command);
    }
    if (answer != nullptr) {
        answer->clear();
    }
    std::optional<std::vector<std::string>> words = split_media_words(command);
    if (!words || words->empty()) {
        return false;
    }
    if (ascii_lower((*words)[0]) == "open") {
        return run_open_words(*words);
    }
    for (const CommandRule& rule : kCommands) {
        std::string alias;
        std::optional<std::int64_t> number;
        if (!matches(rule.pattern, *words, alias, number)) {
            continue;
        }
        auto found = open_sources().find(ascii_lower(alias));
        if (found == open_sources().end()) {
            return false;
        }
        Call call{found->second, alias, number, answer};
        bool ok = rule.run(call);
        if (!ok && answer != nullptr) {
            answer->clear();
        }
        return ok;
    }
    return false;
}

bool open_media(const std::string& device_type, const std::string& element,
                const std::string& alias) {
    if (observer()) {
        observer()("open \"" + element + "\" type " + device_type + " alias " + alias);
    }
    return run_open(device_type, element, alias);
}

void set_media_end_listener(std::function<void()> listener) {
    std::lock_guard lock(g_end_mutex);
    g_end_listener = std::move(listener);
}

void set_media_command_observer(std::function<void(const std::string&)> new_observer) {
    observer() = std::move(new_observer);
}

}  // namespace wavlon::platform
