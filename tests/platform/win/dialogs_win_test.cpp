#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "platform/dialogs.h"

namespace wavlon::platform {
namespace {

// Waits on a thread of its own for the dialog the test's thread shows, lets `look` read it,
// then answers it. Windows exist under wine's null display driver, so nothing is drawn.
class Answerer {
public:
    explicit Answerer(std::function<void(HWND)> answer)
        : m_thread([this, ui = GetCurrentThreadId(), answer = std::move(answer)] {
              for (int i = 0; i < 200 && m_dialog == nullptr; ++i) {
                  EnumThreadWindows(ui, &Answerer::find, reinterpret_cast<LPARAM>(&m_dialog));
                  Sleep(50);
              }
              if (m_dialog != nullptr) {
                  answer(m_dialog);
              }
          }) {}
    ~Answerer() { m_thread.join(); }
    bool found() const { return m_dialog != nullptr; }

private:
    static BOOL CALLBACK find(HWND window, LPARAM found) {
        wchar_t name[16] = {};
        GetClassNameW(window, name, 16);
        if (std::wstring(name) == L"#32770" && IsWindowVisible(window)) {
            *reinterpret_cast<HWND*>(found) = window;
            return FALSE;
        }
        return TRUE;
    }

    HWND m_dialog = nullptr;
    std::thread m_thread;
};

std::wstring text_of(HWND window) {
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}

// The item selected in the folder dialog's tree.
HTREEITEM selected_item(HWND dialog) {
    HWND tree = FindWindowExW(dialog, nullptr, WC_TREEVIEWW, nullptr);
    return tree != nullptr ? TreeView_GetSelection(tree) : nullptr;
}

TEST(WindowsMessageBox, ShowsTheTextsAndAnswersWithThePressedButton) {
    struct Case {
        std::uint32_t flags;
        int press;
        DialogButton answer;
    } cases[] = {
        {kMessageBoxOk, IDOK, DialogButton::Ok},
        {kMessageBoxOkCancel | kMessageBoxTaskModal, IDCANCEL, DialogButton::Cancel},
        {kMessageBoxAbortRetryIgnore | kMessageBoxIconWarning, IDIGNORE, DialogButton::Ignore},
        {kMessageBoxYesNoCancel | kMessageBoxIconQuestion, IDNO, DialogButton::No},
        {kMessageBoxYesNo, IDYES, DialogButton::Yes},
        {kMessageBoxRetryCancel, IDRETRY, DialogButton::Retry},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.flags);
        std::wstring caption, text;
        DialogButton answer = DialogButton::Ok;
        {
            Answerer answerer([&](HWND box) {
                caption = text_of(box);
                text = text_of(GetDlgItem(box, 0xFFFF));
                PostMessageW(box, WM_COMMAND, c.press, 0);
            });
            answer = dialogs().message_box({"请检测网络通讯连接是否正常", "信息：", c.flags});
            ASSERT_TRUE(answerer.found());
        }
        EXPECT_EQ(answer, c.answer);
        EXPECT_EQ(caption, L"信息：");
        EXPECT_EQ(text, L"请检测网络通讯连接是否正常");
    }
}

TEST(WindowsFolderDialog, GivesTheChosenFoldersPathOrNothingOnCancel) {
    // On drive C:, which every prefix has, wherever its locale puts the temporary folder. Wine
    // stores a Chinese name only where the host has the locale it runs in (zh_CN.UTF-8);
    // elsewhere the folder gets an ASCII name.
    const std::wstring process = std::to_wstring(GetCurrentProcessId());
    std::filesystem::path folder = L"C:\\wavlon-歌曲-" + process;
    std::error_code error;
    if (!std::filesystem::create_directories(folder, error)) {
        folder = L"C:\\wavlon-folder-" + process;
        ASSERT_TRUE(std::filesystem::create_directories(folder));
    }
    std::wstring title;
    std::string chosen;
    {
        Answerer answerer([&](HWND dialog) {
            EnumChildWindows(
                dialog,
                [](HWND child, LPARAM out) {
                    if (text_of(child) == L"请选择音乐文件存放目录") {
                        *reinterpret_cast<std::wstring*>(out) = text_of(child);
                    }
                    return TRUE;
                },
                reinterpret_cast<LPARAM>(&title));
            // The tree fills after the dialog shows: select until the selection moves from the
            // tree's root to the folder.
            const HTREEITEM root = selected_item(dialog);
            for (int i = 0; i < 100 && selected_item(dialog) == root; ++i) {
                SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE,
                             reinterpret_cast<LPARAM>(folder.c_str()));
                Sleep(50);
            }
            PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        });
        chosen = dialogs().browse_for_folder({"请选择音乐文件存放目录", false});
        ASSERT_TRUE(answerer.found());
    }
    EXPECT_EQ(title, L"请选择音乐文件存放目录");
    EXPECT_EQ(std::filesystem::path(std::u8string(chosen.begin(), chosen.end())), folder);
    {
        Answerer answerer([](HWND dialog) { PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0); });
        EXPECT_EQ(dialogs().browse_for_folder({"请选择音乐文件存放目录", true}), "");
    }
    std::filesystem::remove(folder);
}

}  // namespace
}  // namespace wavlon::platform
