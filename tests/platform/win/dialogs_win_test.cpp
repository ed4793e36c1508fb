#include <windows.h>
// After windows.h, which they need.
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

// Answers, from a thread of its own, the dialog the calling thread is about to show, once it
// is visible. Wine's null display driver makes the windows without drawing them.
std::thread answer_dialog(std::function<void(HWND)> answer) {
    return std::thread([ui = GetCurrentThreadId(), answer = std::move(answer)] {
        HWND dialog = nullptr;
        for (int i = 0; i < 200 && dialog == nullptr; ++i, Sleep(50)) {
            EnumThreadWindows(
                ui,
                [](HWND window, LPARAM found) {
                    wchar_t name[8] = {};
                    GetClassNameW(window, name, 8);
                    const bool shown = IsWindowVisible(window) && std::wstring(name) == L"#32770";
                    *reinterpret_cast<HWND*>(found) = shown ? window : nullptr;
                    return shown ? FALSE : TRUE;
                },
                reinterpret_cast<LPARAM>(&dialog));
        }
        if (dialog != nullptr) {
            answer(dialog);
        }
    });
}

std::wstring text_of(HWND window) {
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}

TEST(WindowsMessageBox, ShowsTheTextsAndAnswersWithThePressedButton) {
    struct Case {
        std::uint32_t flags;
        int press;
        DialogButton answer;
    } cases[] = {
        {kMessageBoxOkCancel | kMessageBoxTaskModal, IDCANCEL, DialogButton::Cancel},
        {kMessageBoxAbortRetryIgnore | kMessageBoxIconWarning, IDIGNORE, DialogButton::Ignore},
        {kMessageBoxYesNoCancel | kMessageBoxIconQuestion, IDNO, DialogButton::No},
    };
    for (const Case& c : cases) {
        std::wstring caption, text;
        std::thread answerer = answer_dialog([&](HWND box) {
            caption = text_of(box);
            text = text_of(GetDlgItem(box, 0xFFFF));  // the message's static control
            PostMessageW(box, WM_COMMAND, c.press, 0);
        });
        EXPECT_EQ(dialogs().message_box({"请检测网络通讯连接是否正常", "信息：", c.flags}),
                  c.answer);
        answerer.join();
        EXPECT_EQ(caption, L"信息：");
        EXPECT_EQ(text, L"请检测网络通讯连接是否正常");
    }
}

TEST(WindowsFolderDialog, GivesTheChosenFoldersPathOrNothingOnCancel) {
    // On drive C:, which every prefix has. Wine stores a Chinese name only where the host has
    // the locale it runs in (zh_CN.UTF-8); elsewhere the folder gets an ASCII name.
    const std::wstring process = std::to_wstring(GetCurrentProcessId());
    std::filesystem::path folder = L"C:\\wavlon-歌曲-" + process;
    std::error_code error;
    if (!std::filesystem::create_directories(folder, error)) {
        folder = L"C:\\wavlon-folder-" + process;
        ASSERT_TRUE(std::filesystem::create_directories(folder));
    }
    bool title_shown = false;
    std::thread answerer = answer_dialog([&](HWND dialog) {
        title_shown = FindWindowExW(dialog, nullptr, L"Static", L"请选择音乐文件存放目录");
        // The tree fills after the dialog shows: select until the selection leaves the root.
        HWND tree = FindWindowExW(dialog, nullptr, WC_TREEVIEWW, nullptr);
        const HTREEITEM root = TreeView_GetSelection(tree);
        for (int i = 0; i < 100 && TreeView_GetSelection(tree) == root; ++i, Sleep(50)) {
            SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE,
                         reinterpret_cast<LPARAM>(folder.c_str()));
        }
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
    const std::string chosen = dialogs().browse_for_folder({"请选择音乐文件存放目录", false});
    answerer.join();
    EXPECT_TRUE(title_shown);
    EXPECT_EQ(std::filesystem::path(std::u8string(chosen.begin(), chosen.end())), folder);

    answerer = answer_dialog([](HWND dialog) { PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0); });
    EXPECT_EQ(dialogs().browse_for_folder({"请选择音乐文件存放目录", true}), "");
    answerer.join();
    std::filesystem::remove(folder);
}

}  // namespace
}  // namespace wavlon::platform
