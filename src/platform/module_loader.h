// The player's own modules: libraries that bring large dependencies (GStreamer, libcurl with
// its TLS stacks) and are loaded the first time they are needed instead of by the dynamic
// loader at start, so that a window nobody has used yet maps none of it.
//
// A program in the build tree takes the tree's modules/; any other looks in
// <its folder>/../lib/<multiarch>/wavlon (installed), then beside itself, then in the build
// tree it was built in. Thread-safe.
#pragma once

namespace wavlon::platform {

// The entry `symbol` of module `name` ("media" or "net"), loading the module on first use;
// nullptr when the module or the entry cannot be found, which is reported once on standard
// error. The module stays loaded until the process ends.
void* module_entry(const char* name, const char* symbol);

}  // namespace wavlon::platform

// Marks the entries a module exports; everything else in a module stays hidden.
#define WAVLON_MODULE_ENTRY extern "C" __attribute__((visibility("default")))
