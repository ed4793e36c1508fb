#include <windows.h>

#include <shlobj.h>

#include <random>

#include "platform/codec.h"
#include "platform/files.h"
#include "platform/win/wide_text.h"
#include "platform/write_temporaries.h"

namespace wavlon::platform {
namespace {

constexpr std::string_view kSeparators = "/\\";

// The attribute bits the runtime knows have the system's own values.
constexpr DWORD kKnownBits = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                             FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY |
                             FILE_ATTRIBUTE_ARCHIVE;

// A system path with "/" as the separator, as the runtime writes paths.
std::string runtime_path(std::wstring_view units) {
    std::string path = narrow(units);
    for (char& c : path) {
        c = c == '\\' ? '/' : c;
    }
    while (path.size() > 1 && path.back() == '/' && path[path.size() - 2] != ':') {
        path.pop_back();
    }
    return path;
}

std::optional<DWORD> system_attributes(const std::string& path) {
    DWORD attributes = GetFileAttributesW(wide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return std::nullopt;
    }
    return attributes;
}

bool refuses_writes(DWORD attributes) {
    return (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0;
}

std::string folder_or_current(const std::string& folder) {
    return folder.empty() ? std::string(".") : folder;
}

class Handle {
public:
    explicit Handle(HANDLE handle) : m_handle(handle) {}
    ~Handle() { close(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool valid() const { return m_handle != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return m_handle; }
    bool close() {
        bool ok = !valid() || CloseHandle(m_handle) != 0;
        m_handle = INVALID_HANDLE_VALUE;
        return ok;
    }

private:
    HANDLE m_handle;
};

// A new file beside `path`, named after it. It is opened without sharing its deletion, so
// while its writer holds it open nobody else can remove it: that is what tells a write going
// on from one whose process is gone.
HANDLE create_temporary(const std::string& path, std::string& temp_path) {
    std::string folder, base;
    split_path(path, folder, base, kSeparators);
    std::random_device random;
    for (int attempt = 0; attempt < 16; ++attempt) {
        temp_path = folder + temporary_name(base, random());
        HANDLE handle = CreateFileW(wide(temp_path).c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                    nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) {
            return handle;
        }
    }
    return INVALID_HANDLE_VALUE;
}

bool write_all(HANDLE handle, std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1 << 30));
        DWORD written = 0;
        if (!WriteFile(handle, bytes.data(), chunk, &written, nullptr) || written == 0) {
            return false;
        }
        bytes.remove_prefix(written);
    }
    return true;
}

std::string environment(const wchar_t* name) {
    wchar_t value[MAX_PATH * 2];
    DWORD n = GetEnvironmentVariableW(name, value, MAX_PATH * 2);
    return n == 0 || n >= MAX_PATH * 2 ? std::string() : runtime_path({value, n});
}

}  // namespace

std::vector<FolderEntry> list_folder(const std::string& folder, bool) {
    std::vector<FolderEntry> out;
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileExW(wide(folder + "/*").c_str(), FindExInfoBasic, &found,
                                     FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) {
        return out;
    }
    do {
        std::wstring_view name = found.cFileName;
        if (name != L"." && name != L"..") {
            out.push_back({narrow(name), found.dwFileAttributes & kKnownBits, true});
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return out;
}

std::optional<std::uint32_t> entry_attributes(const std::string& path) {
    std::optional<DWORD> attributes = system_attributes(path);
    if (!attributes) {
        return std::nullopt;
    }
    return *attributes & kKnownBits;
}

bool set_entry_attributes(const std::string& path, std::uint32_t attributes) {
    std::optional<DWORD> before = system_attributes(path);
    if (!before) {
        return false;
    }
    // The bits the runtime does not set (a directory's, say) stay as they are.
    const DWORD settable = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                           FILE_ATTRIBUTE_ARCHIVE;
    DWORD wanted = (*before & ~settable & ~FILE_ATTRIBUTE_NORMAL) | (attributes & settable);
    return SetFileAttributesW(wide(path).c_str(), wanted == 0 ? FILE_ATTRIBUTE_NORMAL : wanted) !=
           0;
}

ReadResult read_whole_file(const std::string& path, std::string& content) {
    Handle file(CreateFileW(wide(path).c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? ReadResult::Missing
                                                                              : ReadResult::Failed;
    }
    char buffer[65536];
    for (;;) {
        DWORD n = 0;
        if (!ReadFile(file.get(), buffer, sizeof buffer, &n, nullptr)) {
            return ReadResult::Failed;
        }
        if (n == 0) {
            return ReadResult::Ok;
        }
        content.append(buffer, n);
    }
}

bool can_replace_file(const std::string& path) {
    if (std::optional<DWORD> attributes = system_attributes(path);
        attributes && refuses_writes(*attributes)) {
        return false;
    }
    // Whether the folder takes a new file is only known by making one.
    std::string temp_path;
    HANDLE probe = create_temporary(path, temp_path);
    if (probe == INVALID_HANDLE_VALUE) {
        return false;
    }
    CloseHandle(probe);
    DeleteFileW(wide(temp_path).c_str());
    return true;
}

bool replace_file(const std::string& path, std::span<const std::string_view> parts) {
    std::optional<DWORD> existing = system_attributes(path);
    if (existing && refuses_writes(*existing)) {
        return false;
    }
    remove_abandoned_temporaries(path);
    std::string temp_path;
    Handle temp(create_temporary(path, temp_path));
    if (!temp.valid()) {
        return false;
    }
    bool ok = true;
    for (std::string_view part : parts) {
        ok = ok && write_all(temp.get(), part);
    }
    ok = ok && FlushFileBuffers(temp.get());
    ok = temp.close() && ok;
    const std::wstring target = wide(path);
    const std::wstring source = wide(temp_path);
    // An existing file keeps its attributes through ReplaceFileW; a new one is moved in place.
    ok = ok && (existing ? ReplaceFileW(target.c_str(), source.c_str(), nullptr,
                                        REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)
                         : MoveFileExW(source.c_str(), target.c_str(),
                                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
    if (!ok) {
        DeleteFileW(source.c_str());
    }
    return ok;
}

void remove_abandoned_temporaries(const std::string& path) {
    std::string folder, base;
    split_path(path, folder, base, kSeparators);
    for (const FolderEntry& entry : list_folder(folder_or_current(folder), true)) {
        // A writer that is alive holds its file open, and the deletion fails.
        if ((entry.attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
            is_temporary_of(entry.name, base)) {
            DeleteFileW(wide(folder + entry.name).c_str());
        }
    }
}

void fold_case(std::string_view utf8, std::string& folded, std::u32string& chars) {
    std::wstring units = wide(utf8);
    if (!units.empty()) {
        LCMapStringW(LOCALE_INVARIANT, LCMAP_LOWERCASE, units.data(),
                     static_cast<int>(units.size()), units.data(), static_cast<int>(units.size()));
    }
    folded = narrow(units);
    chars.clear();
    for (std::size_t i = 0; i < units.size(); ++i) {
        char32_t unit = units[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units.size()) {
            unit = 0x10000 + ((unit - 0xD800) << 10) + (units[++i] - 0xDC00);
        }
        chars.push_back(unit);
    }
}

std::string resolved_path(const std::string& path) {
    std::wstring buffer(MAX_PATH * 4, L'\0');
    DWORD n = GetFullPathNameW(wide(path).c_str(), static_cast<DWORD>(buffer.size()), buffer.data(),
                               nullptr);
    if (n == 0 || n >= buffer.size()) {
        return path;
    }
    return runtime_path({buffer.data(), n});
}

bool make_folders(const std::string& path) {
    // Every prefix that ends before a separator, past a drive ("C:") or a root.
    for (std::size_t slash = path.find_first_of("/\\", 1);;
         slash = path.find_first_of("/\\", slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (!part.ends_with(':') && !CreateDirectoryW(wide(part).c_str(), nullptr) &&
            GetLastError() != ERROR_ALREADY_EXISTS) {
            return false;
        }
        if (slash == std::string::npos) {
            break;
        }
    }
    std::optional<DWORD> attributes = system_attributes(path);
    return attributes && (*attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::string user_settings_folder() {
    std::string base = environment(L"APPDATA");
    if (base.empty()) {
        wchar_t folder[MAX_PATH] = {};
        if (SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder) != S_OK) {
            return {};
        }
        base = runtime_path(folder);
    }
    return base + "/Wavlon";
}

std::string program_folder() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) {
            return resolved_path(".");
        }
        if (n < buffer.size()) {
            buffer.resize(n);
            break;
        }
        buffer.resize(buffer.size() * 2);
    }
    std::string path = runtime_path(buffer);
    return path.substr(0, path.rfind('/'));
}

bool change_directory(const std::string& path) {
    return SetCurrentDirectoryW(wide(path).c_str()) != 0;
}

}  // namespace wavlon::platform
