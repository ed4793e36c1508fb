#include "platform/module_loader.h"

#include <dlfcn.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <system_error>
#include <vector>

namespace wavlon::platform {
namespace {

std::mutex g_mutex;

// Loaded (or failed) modules by name; a failed one keeps nullptr and is not tried again.
std::map<std::string, void*>& modules() {
    static auto* loaded = new std::map<std::string, void*>;
    return *loaded;
}

// Where a module may be, in order. The build tree's folder serves the build's own programs
// (tests, benchmarks, the player run from the tree). An installed program finds its modules
// relative to itself (/usr/bin/wavlon: /usr/lib/<multiarch>/wavlon), a portable copy beside
// itself, and a copy made from the build without them in the tree it was built in.
std::vector<std::filesystem::path> module_folders() {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error && program.string().starts_with(WAVLON_BUILD_DIR "/")) {
        return {WAVLON_BUILD_MODULE_DIR};
    }
    return {program.parent_path().parent_path() / WAVLON_INSTALLED_MODULE_DIR,
            program.parent_path(), WAVLON_BUILD_MODULE_DIR};
}

void* load(const std::string& name) {
    const std::string file_name = "libwavlon_" + name + ".so";
    const std::vector<std::filesystem::path> folders = module_folders();
    for (const std::filesystem::path& folder : folders) {
        std::error_code error;
        if (std::filesystem::exists(folder / file_name, error)) {
            if (void* handle = dlopen((folder / file_name).c_str(), RTLD_NOW | RTLD_LOCAL)) {
                return handle;
            }
            const char* why = dlerror();
            std::fprintf(stderr, "wavlon: cannot load %s: %s\n", (folder / file_name).c_str(),
                         why ? why : "");
            return nullptr;
        }
    }
    std::fprintf(stderr, "wavlon: module %s not found in %s\n", file_name.c_str(),
                 folders.front().c_str());
    return nullptr;
}

}  // namespace

void* module_entry(const char* name, const char* symbol) {
    std::lock_guard lock(g_mutex);
    auto [at, added] = modules().try_emplace(name, nullptr);
    if (added) {
        at->second = load(name);
    }
    if (at->second == nullptr) {
        return nullptr;
    }
    void* entry = dlsym(at->second, symbol);
    if (entry == nullptr) {
        std::fprintf(stderr, "wavlon: module %s lacks %s\n", name, symbol);
    }
    return entry;
}

}  // namespace wavlon::platform
