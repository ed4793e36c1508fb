#include "support/german_locale.h"

#include <clocale>
#include <cstdlib>
#include <filesystem>

namespace wavlon::testing {
namespace {

namespace fs = std::filesystem;

constexpr const char* kName = "de_DE.UTF-8";

std::optional<std::string> environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::optional<std::string>(value) : std::nullopt;
}

void restore(const char* name, const std::optional<std::string>& value) {
    if (value) {
        ::setenv(name, value->c_str(), 1);
    } else {
        ::unsetenv(name);
    }
}

// A folder of generated locales, made once and removed when the process ends.
class GeneratedLocales {
public:
    GeneratedLocales() {
        std::string pattern = (fs::temp_directory_path() / "wavlon-locale-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            m_error = "cannot make a folder for the generated locale";
            return;
        }
        m_path = pattern;
        // -c: the locale sources of some releases carry warnings that are harmless here.
        std::string command =
            "localedef -c -i de_DE -f UTF-8 '" + m_path + "/" + kName + "' >/dev/null 2>&1";
        if (std::system(command.c_str()) != 0 || !fs::exists(fs::path(m_path) / kName)) {
            m_error = "localedef could not generate " + std::string(kName) +
                      " (is the locales package installed?)";
        }
    }
    ~GeneratedLocales() {
        std::error_code ignored;
        if (!m_path.empty()) {
            fs::remove_all(m_path, ignored);
        }
    }
    GeneratedLocales(const GeneratedLocales&) = delete;
    GeneratedLocales& operator=(const GeneratedLocales&) = delete;

    const std::string& path() const { return m_path; }
    const std::string& error() const { return m_error; }

private:
    std::string m_path;
    std::string m_error;
};

}  // namespace

GermanLocale::GermanLocale()
    : m_previous_lc_all(environment("LC_ALL")), m_previous_locpath(environment("LOCPATH")) {
    ::setenv("LC_ALL", kName, 1);
    if (std::setlocale(LC_ALL, "") == nullptr) {
        static GeneratedLocales generated;
        if (!generated.error().empty()) {
            m_error = generated.error();
            return;
        }
        ::setenv("LOCPATH", generated.path().c_str(), 1);
        if (std::setlocale(LC_ALL, "") == nullptr) {
            m_error = "the generated " + std::string(kName) + " does not load";
            return;
        }
    }
    m_active = true;
}

GermanLocale::~GermanLocale() {
    restore("LC_ALL", m_previous_lc_all);
    restore("LOCPATH", m_previous_locpath);
    std::setlocale(LC_ALL, "C");
}

}  // namespace wavlon::testing
