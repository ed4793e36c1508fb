// A German locale (decimal comma) for the process, set the way a user's environment and the
// window toolkit set it: LC_ALL=de_DE.UTF-8, then setlocale(LC_ALL, "").
//
// When the system has no de_DE.UTF-8, it is generated once per process with localedef into a
// temporary folder (removed at exit) that LOCPATH then names. Not thread-safe: make one on the
// test's thread while no other thread formats numbers.
#pragma once

#include <optional>
#include <string>

namespace wavlon::testing {

class GermanLocale {
public:
    GermanLocale();
    // Back to the C locale and the environment as it was.
    ~GermanLocale();
    GermanLocale(const GermanLocale&) = delete;
    GermanLocale& operator=(const GermanLocale&) = delete;

    // Whether the locale is in effect; `error()` says why not.
    bool active() const { return m_active; }
    const std::string& error() const { return m_error; }

private:
    bool m_active = false;
    std::string m_error;
    std::optional<std::string> m_previous_lc_all;
    std::optional<std::string> m_previous_locpath;
};

}  // namespace wavlon::testing
