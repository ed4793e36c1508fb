#include "player/program_state.h"

namespace wavlon::player {

ProgramState& program_state() {
    static ProgramState state;
    return state;
}

void reset_program_state() {
    program_state() = ProgramState{};
}

std::optional<runtime::Text> track_path(std::int64_t index) {
    const runtime::Array<runtime::Text>& paths = program_state().track_paths;
    if (index < 1 || index > paths.size()) {
        return std::nullopt;
    }
    return paths.at(index);
}

}  // namespace wavlon::player
