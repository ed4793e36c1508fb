// The HTTP client on WinHTTP.
//
// WinHTTP bounds each phase (resolve, connect, send, receive) on its own, so one answer that
// trickles in a byte at a time would outlast the caller's time-out. The exchange therefore runs
// on a worker thread of its own whose phase time-outs are what is left of the time; the caller
// waits until the worker is done or the time is up, and in the latter case takes what has
// arrived so far and leaves the worker to close its handles within one more phase time-out.
#include "platform/http_client.h"

#include <windows.h>
// After windows.h, which they build on.
#include <wincrypt.h>
#include <winhttp.h>

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cwchar>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>

#include "platform/percent_escape.h"
#include "platform/win/wide_text.h"

namespace wavlon::platform {
namespace {

using Clock = std::chrono::steady_clock;

constexpr DWORD kMaxRedirects = 10;

std::mutex g_ca_mutex;
std::string g_extra_ca_file;

bool is_utf8(std::string_view text) {
    return text.empty() || ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                                 static_cast<int>(text.size()), nullptr, 0) > 0;
}

// Header lines, methods and credentials as WinHTTP takes them. wine sends them in UTF-8, so
// UTF-8 (ASCII included) goes out as it stands; other bytes become the UTF-16 units of the
// same values, as Windows sends ISO-8859-1.
std::wstring bytes_to_wide(std::string_view bytes) {
    if (is_utf8(bytes)) {
        return platform::wide(bytes);
    }
    std::wstring units;
    units.reserve(bytes.size());
    for (char c : bytes) {
        units += static_cast<wchar_t>(static_cast<unsigned char>(c));
    }
    return units;
}

// The inverse of WinHTTP's reading of received header bytes, which takes them in the system's
// code page.
std::string wide_to_bytes(const std::wstring& wide) {
    if (wide.empty()) {
        return {};
    }
    const int size = static_cast<int>(wide.size());
    const int length =
        ::WideCharToMultiByte(CP_ACP, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(std::max(length, 0)), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, wide.data(), size, bytes.data(), length, nullptr, nullptr);
    return bytes;
}

struct InternetHandle {
    HINTERNET handle = nullptr;
    explicit InternetHandle(HINTERNET h) : handle(h) {}
    ~InternetHandle() {
        if (handle != nullptr) {
            ::WinHttpCloseHandle(handle);
        }
    }
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;
};

struct CertDeleter {
    void operator()(const CERT_CONTEXT* cert) const { ::CertFreeCertificateContext(cert); }
};
using Cert = std::unique_ptr<const CERT_CONTEXT, CertDeleter>;

// The first certificate of a PEM file, or null.
Cert load_pem_certificate(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string pem((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    DWORD size = 0;
    const DWORD length = static_cast<DWORD>(pem.size());
    if (pem.empty() || !::CryptStringToBinaryA(pem.data(), length, CRYPT_STRING_BASE64HEADER,
                                               nullptr, &size, nullptr, nullptr)) {
        return nullptr;
    }
    std::string der(size, '\0');
    if (!::CryptStringToBinaryA(pem.data(), length, CRYPT_STRING_BASE64HEADER,
                                reinterpret_cast<BYTE*>(der.data()), &size, nullptr, nullptr)) {
        return nullptr;
    }
    return Cert(::CertCreateCertificateContext(X509_ASN_ENCODING,
                                               reinterpret_cast<const BYTE*>(der.data()), size));
}

bool issued_by(const CERT_CONTEXT* cert, const CERT_CONTEXT* ca) {
    return ::CertCompareCertificateName(X509_ASN_ENCODING, &cert->pCertInfo->Issuer,
                                        &ca->pCertInfo->Subject) &&
           ::CryptVerifyCertificateSignatureEx(
               0, X509_ASN_ENCODING, CRYPT_VERIFY_CERT_SIGN_SUBJECT_CERT,
               const_cast<CERT_CONTEXT*>(cert), CRYPT_VERIFY_CERT_SIGN_ISSUER_CERT,
               const_cast<CERT_CONTEXT*>(ca), 0, nullptr);
}

bool system_trusts(const CERT_CONTEXT* cert) {
    CERT_CHAIN_PARA para{};
    para.cbSize = sizeof para;
    const CERT_CHAIN_CONTEXT* chain = nullptr;
    if (!::CertGetCertificateChain(nullptr, cert, nullptr, cert->hCertStore, &para, 0, nullptr,
                                   &chain)) {
        return false;
    }
    const DWORD untrusted = CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN |
                            CERT_TRUST_IS_NOT_SIGNATURE_VALID;
    const bool trusted = (chain->TrustStatus.dwErrorStatus & untrusted) == 0;
    ::CertFreeCertificateChain(chain);
    return trusted;
}

// The numeric IPv4 address `host`, in network order, or nothing.
std::optional<std::array<BYTE, 4>> ipv4_address(const std::wstring& host) {
    std::array<BYTE, 4> bytes{};
    unsigned a = 0, b = 0, c = 0, d = 0;
    wchar_t rest = 0;
    if (std::swscanf(host.c_str(), L"%u.%u.%u.%u%lc", &a, &b, &c, &d, &rest) != 4 || a > 255 ||
        b > 255 || c > 255 || d > 255) {
        return std::nullopt;
    }
    bytes = {static_cast<BYTE>(a), static_cast<BYTE>(b), static_cast<BYTE>(c),
             static_cast<BYTE>(d)};
    return bytes;
}

// Whether the certificate's subject alternative names hold the IP address.
bool names_address(const CERT_CONTEXT* cert, const std::array<BYTE, 4>& address) {
    const CERT_EXTENSION* extension = ::CertFindExtension(
        szOID_SUBJECT_ALT_NAME2, cert->pCertInfo->cExtension, cert->pCertInfo->rgExtension);
    CERT_ALT_NAME_INFO* names = nullptr;
    DWORD size = 0;
    if (extension == nullptr ||
        !::CryptDecodeObjectEx(X509_ASN_ENCODING, X509_ALTERNATE_NAME, extension->Value.pbData,
                               extension->Value.cbData, CRYPT_DECODE_ALLOC_FLAG, nullptr, &names,
                               &size)) {
        return false;
    }
    bool found = false;
    for (DWORD i = 0; i < names->cAltEntry && !found; ++i) {
        const CERT_ALT_NAME_ENTRY& entry = names->rgAltEntry[i];
        found = entry.dwAltNameChoice == CERT_ALT_NAME_IP_ADDRESS &&
                entry.IPAddress.cbData == address.size() &&
                std::equal(address.begin(), address.end(), entry.IPAddress.pbData);
    }
    ::LocalFree(names);
    return found;
}

// With an extra CA the handshake is told to accept an unknown issuer (and, for a numeric
// address, which wine's name check does not match against the certificate's IP entries, any
// name); this check then holds the server's certificate to the system store or that CA, and to
// the address, before anything is read.
bool server_certificate_trusted(HINTERNET request, const CERT_CONTEXT* ca,
                                const std::wstring& host) {
    const CERT_CONTEXT* cert = nullptr;
    DWORD size = sizeof cert;
    if (!::WinHttpQueryOption(request, WINHTTP_OPTION_SERVER_CERT_CONTEXT, &cert, &size) ||
        cert == nullptr) {
        return false;
    }
    Cert owned(cert);
    const auto address = ipv4_address(host);
    return (issued_by(cert, ca) || system_trusts(cert)) &&
           (!address || names_address(cert, *address));
}

enum class Phase { kConnecting, kWaiting, kReading };

// What the worker and the caller share; it lives as long as either of them needs it.
struct Exchange {
    HttpClientRequest request;
    std::string ca_file;
    std::wstring host;
    INTERNET_PORT port = 0;
    std::wstring path;
    bool secure = false;
    Clock::time_point deadline;

    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    Phase phase = Phase::kConnecting;
    HttpClientResult result;

    void set_phase(Phase p) {
        std::lock_guard lock(mutex);
        phase = p;
    }
    DWORD left_ms() const {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        return static_cast<DWORD>(std::max<std::int64_t>(1, left.count()));
    }
};

// The caller's lines split at any line break; those without a name before a ":" are dropped.
std::vector<std::string> header_lines(const std::vector<std::string>& lines) {
    std::vector<std::string> out;
    for (const auto& raw : lines) {
        std::size_t start = 0;
        while (start <= raw.size()) {
            std::size_t end = std::min(raw.find_first_of("\r\n", start), raw.size());
            std::string line = raw.substr(start, end - start);
            start = end + 1;
            const std::size_t colon = line.find(':');
            if (colon != std::string::npos && colon > 0) {
                out.push_back(std::move(line));
            }
        }
    }
    return out;
}

// Once a request is out, waiting for the answer begins; WinHTTP reports it, as sending may
// return only with the answer's headers.
void CALLBACK on_status(HINTERNET, DWORD_PTR context, DWORD status, LPVOID, DWORD) {
    if (status == WINHTTP_CALLBACK_STATUS_REQUEST_SENT && context != 0) {
        reinterpret_cast<Exchange*>(context)->set_phase(Phase::kWaiting);
    }
}

bool configure(HINTERNET request, Exchange& ex, const CERT_CONTEXT* ca) {
    const HttpClientRequest& r = ex.request;
    DWORD disabled = WINHTTP_DISABLE_COOKIES | (r.follow_redirects ? 0 : WINHTTP_DISABLE_REDIRECTS);
    DWORD max_redirects = kMaxRedirects;
    DWORD_PTR context = reinterpret_cast<DWORD_PTR>(&ex);
    bool ok =
        ::WinHttpSetOption(request, WINHTTP_OPTION_CONTEXT_VALUE, &context, sizeof context) &&
        ::WinHttpSetStatusCallback(request, on_status, WINHTTP_CALLBACK_FLAG_SEND_REQUEST, 0) !=
            WINHTTP_INVALID_STATUS_CALLBACK &&
        ::WinHttpSetOption(request, WINHTTP_OPTION_DISABLE_FEATURE, &disabled, sizeof disabled) &&
        ::WinHttpSetOption(request, WINHTTP_OPTION_MAX_HTTP_AUTOMATIC_REDIRECTS, &max_redirects,
                           sizeof max_redirects);
    if (ok && !r.user.empty()) {
        ok = ::WinHttpSetCredentials(request, WINHTTP_AUTH_TARGET_SERVER, WINHTTP_AUTH_SCHEME_BASIC,
                                     bytes_to_wide(r.user).c_str(),
                                     bytes_to_wide(r.password).c_str(), nullptr);
    }
    if (ok && !r.proxy.empty() && !r.proxy_user.empty()) {
        ok = ::WinHttpSetCredentials(request, WINHTTP_AUTH_TARGET_PROXY, WINHTTP_AUTH_SCHEME_BASIC,
                                     bytes_to_wide(r.proxy_user).c_str(),
                                     bytes_to_wide(r.proxy_password).c_str(), nullptr);
    }
    if (ok && ex.secure && ca != nullptr) {
        DWORD flags = SECURITY_FLAG_IGNORE_UNKNOWN_CA |
                      (ipv4_address(ex.host) ? SECURITY_FLAG_IGNORE_CERT_CN_INVALID : 0);
        ok = ::WinHttpSetOption(request, WINHTTP_OPTION_SECURITY_FLAGS, &flags, sizeof flags);
    }
    // One line at a time keeps their order; a line WinHTTP will not take is left out.
    for (const std::string& line : header_lines(r.header_lines)) {
        const std::wstring wide = bytes_to_wide(line);
        ::WinHttpAddRequestHeaders(request, wide.c_str(), static_cast<DWORD>(wide.size()),
                                   WINHTTP_ADDREQ_FLAG_ADD);
    }
    return ok;
}

std::string raw_header_block(HINTERNET request) {
    DWORD size = 0;
    ::WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                          nullptr, &size, WINHTTP_NO_HEADER_INDEX);
    std::wstring wide(size / sizeof(wchar_t) + 1, L'\0');
    if (!::WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF,
                               WINHTTP_HEADER_NAME_BY_INDEX, wide.data(), &size,
                               WINHTTP_NO_HEADER_INDEX)) {
        return {};
    }
    wide.resize(size / sizeof(wchar_t));
    std::string block = wide_to_bytes(wide);
    while (!block.ends_with("\r\n\r\n")) {
        block += "\r\n";
    }
    return block;
}

// The announced body length, or -1 when there is none.
std::int64_t content_length(HINTERNET request) {
    wchar_t value[32] = {};
    DWORD size = sizeof value;
    if (!::WinHttpQueryHeaders(request, WINHTTP_QUERY_CONTENT_LENGTH, WINHTTP_HEADER_NAME_BY_INDEX,
                               value, &size, WINHTTP_NO_HEADER_INDEX)) {
        return -1;
    }
    return std::wcstoll(value, nullptr, 10);
}

// Reads the body in the pieces WinHTTP has; false when the read broke off or ran out of time.
bool read_body(HINTERNET request, Exchange& ex) {
    std::string piece;
    for (;;) {
        if (Clock::now() >= ex.deadline) {
            return false;
        }
        DWORD timeout = ex.left_ms();
        ::WinHttpSetOption(request, WINHTTP_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout);
        DWORD available = 0;
        if (!::WinHttpQueryDataAvailable(request, &available)) {
            return false;
        }
        if (available == 0) {
            return true;
        }
        {
            std::lock_guard lock(ex.mutex);
            if (ex.result.body.size() + available > kHttpMaxBodyBytes) {
                return false;
            }
        }
        piece.resize(available);
        DWORD read = 0;
        if (!::WinHttpReadData(request, piece.data(), available, &read)) {
            return false;
        }
        if (read == 0) {
            return true;
        }
        std::lock_guard lock(ex.mutex);
        ex.result.body.append(piece, 0, read);
    }
}

HttpOutcome run(Exchange& ex) {
    const HttpClientRequest& r = ex.request;
    Cert ca = ex.secure && !ex.ca_file.empty() ? load_pem_certificate(ex.ca_file) : nullptr;
    // No agent name and no proxy unless one is given: WinHTTP then adds no User-Agent and
    // reads no proxy settings of the system.
    // "host:port" serves every scheme; wine does not read the "http=" form Windows also takes.
    const std::wstring proxy = bytes_to_wide(r.proxy);
    InternetHandle session(::WinHttpOpen(
        nullptr, proxy.empty() ? WINHTTP_ACCESS_TYPE_NO_PROXY : WINHTTP_ACCESS_TYPE_NAMED_PROXY,
        proxy.empty() ? WINHTTP_NO_PROXY_NAME : proxy.c_str(), WINHTTP_NO_PROXY_BYPASS, 0));
    if (session.handle == nullptr) {
        return HttpOutcome::kSetupFailed;
    }
    const int t = static_cast<int>(ex.left_ms());
    if (!::WinHttpSetTimeouts(session.handle, t, t, t, t)) {
        return HttpOutcome::kSetupFailed;
    }
    InternetHandle connection(::WinHttpConnect(session.handle, ex.host.c_str(), ex.port, 0));
    if (connection.handle == nullptr) {
        return HttpOutcome::kSetupFailed;
    }
    InternetHandle request(::WinHttpOpenRequest(
        connection.handle, bytes_to_wide(r.method).c_str(), ex.path.c_str(), nullptr,
        WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, ex.secure ? WINHTTP_FLAG_SECURE : 0));
    if (request.handle == nullptr || !configure(request.handle, ex, ca.get())) {
        return HttpOutcome::kSetupFailed;
    }

    const bool with_body = r.method != "HEAD" && (r.method == "POST" || !r.body.empty());
    const DWORD body_size = with_body ? static_cast<DWORD>(r.body.size()) : 0;
    void* body = with_body && !r.body.empty() ? const_cast<char*>(r.body.data()) : nullptr;
    if (!::WinHttpSendRequest(request.handle, WINHTTP_NO_ADDITIONAL_HEADERS, 0, body, body_size,
                              body_size, 0)) {
        std::lock_guard lock(ex.mutex);
        return ex.phase == Phase::kWaiting ? HttpOutcome::kNoResponse : HttpOutcome::kConnectFailed;
    }
    if (ca && !server_certificate_trusted(request.handle, ca.get(), ex.host)) {
        return HttpOutcome::kConnectFailed;
    }
    ex.set_phase(Phase::kWaiting);
    if (!::WinHttpReceiveResponse(request.handle, nullptr)) {
        return HttpOutcome::kNoResponse;
    }
    std::string block = raw_header_block(request.handle);
    if (block.empty()) {
        return HttpOutcome::kNoResponse;
    }
    {
        std::lock_guard lock(ex.mutex);
        ex.result.header_block = std::move(block);
        ex.result.headers_received = true;
        ex.phase = Phase::kReading;
    }
    if (!read_body(request.handle, ex)) {
        return HttpOutcome::kReadFailed;
    }
    // WinHTTP ends a body quietly when the connection closes early; the announced length
    // tells a whole body from one cut short.
    const std::int64_t length = r.method == "HEAD" ? -1 : content_length(request.handle);
    std::lock_guard lock(ex.mutex);
    if (length >= 0 && static_cast<std::int64_t>(ex.result.body.size()) < length) {
        return HttpOutcome::kReadFailed;
    }
    return HttpOutcome::kOk;
}

// Splits the URL; false when it does not parse, has no host or is not http(s).
bool crack_url(const std::string& url, Exchange& ex) {
    const std::wstring wide = platform::wide(percent_escape(url));
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwSchemeLength = parts.dwHostNameLength = parts.dwUrlPathLength =
        parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (wide.empty() ||
        !::WinHttpCrackUrl(wide.c_str(), static_cast<DWORD>(wide.size()), 0, &parts) ||
        (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) ||
        parts.dwHostNameLength == 0) {
        return false;
    }
    ex.secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    ex.host.assign(parts.lpszHostName, parts.dwHostNameLength);
    ex.port = parts.nPort;
    ex.path.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
    ex.path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    ex.path = ex.path.substr(0, ex.path.find(L'#'));  // the fragment is not sent
    if (ex.path.empty() || ex.path.front() != L'/') {
        ex.path.insert(0, L"/");
    }
    return true;
}

}  // namespace

void set_http_extra_ca_file(std::string path) {
    std::lock_guard lock(g_ca_mutex);
    g_extra_ca_file = std::move(path);
}

HttpClientResult http_perform(const HttpClientRequest& request) {
    auto ex = std::make_shared<Exchange>();
    if (!crack_url(request.url, *ex)) {
        HttpClientResult result;
        result.outcome = HttpOutcome::kBadUrl;
        return result;
    }
    ex->request = request;
    {
        std::lock_guard lock(g_ca_mutex);
        ex->ca_file = g_extra_ca_file;
    }
    ex->deadline = Clock::now() + std::max(request.timeout, std::chrono::milliseconds(1));
    std::thread([ex] {
        const HttpOutcome outcome = run(*ex);
        std::lock_guard lock(ex->mutex);
        ex->result.outcome = outcome;
        ex->done = true;
        ex->finished.notify_all();
    }).detach();

    std::unique_lock lock(ex->mutex);
    if (ex->finished.wait_until(lock, ex->deadline, [&] { return ex->done; })) {
        HttpClientResult result = std::move(ex->result);
        if (result.outcome != HttpOutcome::kOk && result.outcome != HttpOutcome::kReadFailed) {
            result.headers_received = false;
            result.header_block.clear();
        }
        return result;
    }
    // Out of time: the exchange ends as if the connection had broken now.
    HttpClientResult result;
    switch (ex->phase) {
        case Phase::kConnecting:
            result.outcome = HttpOutcome::kConnectFailed;
            break;
        case Phase::kWaiting:
            result.outcome = HttpOutcome::kNoResponse;
            break;
        case Phase::kReading:
            result.outcome = HttpOutcome::kReadFailed;
            result.headers_received = true;
            result.header_block = ex->result.header_block;
            result.body = ex->result.body;
            break;
    }
    return result;
}

}  // namespace wavlon::platform
