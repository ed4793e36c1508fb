#include "platform/media_command_words.h"

namespace wavlon::platform {

std::optional<std::vector<std::string>> split_media_words(const std::string& command) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < command.size()) {
        if (command[i] == ' ' || command[i] == '\t') {
            ++i;
            continue;
        }
        if (command[i] == '"') {
            std::size_t end = command.find('"', i + 1);
            if (end == std::string::npos) {
                return std::nullopt;
            }
            words.push_back(command.substr(i + 1, end - i - 1));
            i = end + 1;
            continue;
        }
        std::size_t end = command.find_first_of(" \t", i);
        end = end == std::string::npos ? command.size() : end;
        words.push_back(command.substr(i, end - i));
        i = end;
    }
    return words;
}

std::string ascii_lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

}  // namespace wavlon::platform
