// Setting and removing environment variables in tests, on either system.
#pragma once

#include <cstdlib>
#include <string>

namespace wavlon::testing {

inline void set_variable(const char* name, const std::string& value) {
#ifdef _WIN32
    ::_putenv_s(name, value.c_str());
#else
    ::setenv(name, value.c_str(), 1);
#endif
}

inline void unset_variable(const char* name) {
#ifdef _WIN32
    ::_putenv_s(name, "");  // an empty value removes the variable
#else
    ::unsetenv(name);
#endif
}

}  // namespace wavlon::testing
