// The HTTP client's front: libcurl and its TLS stacks live in the "net" module, loaded with the
// first request (module_loader.h).
#include "platform/http_client.h"

#include <mutex>

#include "platform/module_loader.h"

namespace wavlon::platform {
namespace {

std::mutex g_ca_mutex;
std::string g_extra_ca_file;

using PerformEntry = void (*)(const HttpClientRequest*, const std::string*, HttpClientResult*);

}  // namespace

void set_http_extra_ca_file(std::string path) {
    std::lock_guard lock(g_ca_mutex);
    g_extra_ca_file = std::move(path);
}

HttpClientResult http_perform(const HttpClientRequest& request) {
    static const auto perform =
        reinterpret_cast<PerformEntry>(module_entry("net", "wavlon_http_perform"));
    HttpClientResult result;  // kSetupFailed without the module
    if (perform != nullptr) {
        std::string ca_file;
        {
            std::lock_guard lock(g_ca_mutex);
            ca_file = g_extra_ca_file;
        }
        perform(&request, &ca_file, &result);
    }
    return result;
}

}  // namespace wavlon::platform
