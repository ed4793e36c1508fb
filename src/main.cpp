// Wavlon: a small desktop MP3 player.
#include <cstdio>

#include "runtime/program.h"

int main() {
    wavlon::runtime::init_runtime();
    // The window layer is not part of this build yet; say so instead of pretending to run.
    std::fprintf(stderr, "wavlon: the runtime starts, but this build has no main window yet.\n");
    return 1;
}
