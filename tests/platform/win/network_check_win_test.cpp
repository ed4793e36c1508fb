// The network check on Windows takes its proxy from WinINet's own Internet settings.
#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <string>

#include "platform/network_check.h"
#include "support/local_http_server.h"

namespace wavlon::platform {
namespace {

using testing::HttpReply;
using testing::HttpRequest;
using testing::LocalHttpServer;

constexpr const char* kSettingsKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

// Names a proxy in the user's Internet settings for its lifetime, and puts back what was there.
class InternetSettingsProxy {
public:
    explicit InternetSettingsProxy(const std::string& server) {
        ::RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                          &m_key, nullptr);
        m_enable = read_dword("ProxyEnable");
        m_server = read_text("ProxyServer");
        const DWORD on = 1;
        ::RegSetValueExA(m_key, "ProxyEnable", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&on),
                         sizeof on);
        ::RegSetValueExA(m_key, "ProxyServer", 0, REG_SZ,
                         reinterpret_cast<const BYTE*>(server.c_str()),
                         static_cast<DWORD>(server.size() + 1));
    }
    ~InternetSettingsProxy() {
        if (m_enable) {
            ::RegSetValueExA(m_key, "ProxyEnable", 0, REG_DWORD,
                             reinterpret_cast<const BYTE*>(&*m_enable), sizeof *m_enable);
        } else {
            ::RegDeleteValueA(m_key, "ProxyEnable");
        }
        if (m_server) {
            ::RegSetValueExA(m_key, "ProxyServer", 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(m_server->c_str()),
                             static_cast<DWORD>(m_server->size() + 1));
        } else {
            ::RegDeleteValueA(m_key, "ProxyServer");
        }
        ::RegCloseKey(m_key);
    }
    InternetSettingsProxy(const InternetSettingsProxy&) = delete;
    InternetSettingsProxy& operator=(const InternetSettingsProxy&) = delete;

private:
    std::optional<DWORD> read_dword(const char* name) const {
        DWORD value = 0;
        DWORD size = sizeof value;
        return ::RegQueryValueExA(m_key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value),
                                  &size) == ERROR_SUCCESS
                   ? std::optional<DWORD>(value)
                   : std::nullopt;
    }
    std::optional<std::string> read_text(const char* name) const {
        char value[512] = {};
        DWORD size = sizeof value - 1;
        return ::RegQueryValueExA(m_key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(value),
                                  &size) == ERROR_SUCCESS
                   ? std::optional<std::string>(value)
                   : std::nullopt;
    }
    HKEY m_key = nullptr;
    std::optional<DWORD> m_enable;
    std::optional<std::string> m_server;
};

// A host name that does not resolve here stands for the outside world: only the proxy of the
// Internet settings reaches it, and it records what it was asked.
TEST(NetworkCheckWin, ProxyOfTheInternetSettingsIsUsed) {
    LocalHttpServer proxy([](const HttpRequest&) { return HttpReply::ok("from proxy"); });
    const std::string outside = "http://wavlon-check.invalid/page";
    {
        InternetSettingsProxy settings("127.0.0.1:" + std::to_string(proxy.port()));
        EXPECT_TRUE(network_available_at(outside));
    }
    ASSERT_EQ(proxy.requests().size(), 1u);
    // WinINet names the default port in the address it hands the proxy.
    EXPECT_EQ(proxy.requests().front().target, "http://wavlon-check.invalid:80/page");
    EXPECT_EQ(proxy.requests().front().header("User-Agent"), "test");

    EXPECT_FALSE(network_available_at(outside));  // settings restored: no way out
    EXPECT_EQ(proxy.requests().size(), 1u);
}

}  // namespace
}  // namespace wavlon::platform
