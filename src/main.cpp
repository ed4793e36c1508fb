// Wavlon: a small desktop MP3 player.
#include "app/application.h"

int main(int argc, char** argv) {
    return wavlon::app::run_application(argc, argv);
}
