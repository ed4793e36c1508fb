// The player for tests that run it as a separate process: the program itself, with the
// start-up network check pointed at WAVLON_TEST_CHECK_URL (a server of the test on this
// machine), or at a closed local port when that is unset, so that it never reaches out.
#include <cstdlib>

#include "app/application.h"
#include "platform/network_check.h"

int main(int argc, char** argv) {
    const char* url = std::getenv("WAVLON_TEST_CHECK_URL");
    wavlon::platform::set_network_check_url(url ? url : "http://127.0.0.1:9/");
    return wavlon::app::run_application(argc, argv);
}
