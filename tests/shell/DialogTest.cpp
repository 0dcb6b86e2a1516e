// The three loading commands with their real dialogs, driven from a helper thread the
// way a user would: it finds the dialog, reads what it shows, then types a path,
// picks a folder or presses Cancel.
#include "ShellFixture.h"
#include "TreePaths.h"

#include "platform/Controls.h"
#include "shell/EventLoop.h"
#include "shell/TrackCollection.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

using shell_test::ShellFixture;
using shell_test::TreesFolder;

std::string TextOf(HWND window)
{
    char text[512] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

// What the helper saw of the dialog before acting on it.
struct DialogSeen {
    std::string title;
    std::vector<std::string> childTexts;
    std::string firstFilter;
};

class DialogDriver {
public:
    using Action = std::function<void(HWND dialog)>;

    DialogDriver(DWORD uiThread, Action action)
        : thread_([this, uiThread, action = std::move(action)] { Run(uiThread, action); })
    {
    }
    ~DialogDriver() { Join(); }
    void Join()
    {
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    bool found = false;
    DialogSeen seen;

private:
    static BOOL CALLBACK FindDialog(HWND window, LPARAM out)
    {
        char cls[32] = {};
        GetClassNameA(window, cls, sizeof cls);
        if (std::string(cls) == "#32770" && IsWindowVisible(window)) {
            *reinterpret_cast<HWND*>(out) = window;
            return FALSE;
        }
        return TRUE;
    }

    static BOOL CALLBACK CollectChild(HWND child, LPARAM out)
    {
        reinterpret_cast<std::vector<std::string>*>(out)->push_back(TextOf(child));
        return TRUE;
    }

    void Run(DWORD uiThread, const Action& action)
    {
        HWND dialog = nullptr;
        for (int attempt = 0; attempt < 300 && dialog == nullptr; ++attempt) {
            Sleep(100);
            EnumThreadWindows(uiThread, FindDialog, reinterpret_cast<LPARAM>(&dialog));
        }
        if (dialog == nullptr) {
            return;
        }
        found = true;
        Sleep(500);  // let the dialog fill its controls
        seen.title = TextOf(dialog);
        EnumChildWindows(dialog, CollectChild, reinterpret_cast<LPARAM>(&seen.childTexts));
        if (HWND types = GetDlgItem(dialog, 0x470)) {  // cmb1, the file type list
            char first[256] = {};
            if (SendMessageA(types, CB_GETLBTEXTLEN, 0, 0) < static_cast<LRESULT>(sizeof first)) {
                SendMessageA(types, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(first));
            }
            seen.firstFilter = first;
        }
        action(dialog);
    }

    std::thread thread_;
};

void PressCancel(HWND dialog)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
}

void PressOk(HWND dialog)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
}

DialogDriver::Action TypeFileName(std::string path)
{
    return [path](HWND dialog) {
        // The file name box is cmb13 in the explorer-style template, edt1 in older ones.
        HWND box = GetDlgItem(dialog, 0x47c);
        if (box == nullptr) {
            box = GetDlgItem(dialog, 0x480);
        }
        SendMessageA(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
        PressOk(dialog);
    };
}

DialogDriver::Action PickFolder(std::string path, HWND closeAfterwards = nullptr)
{
    return [path, closeAfterwards](HWND dialog) {
        SendMessageA(dialog, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(path.c_str()));
        Sleep(200);
        PressOk(dialog);
        if (closeAfterwards != nullptr) {
            PostMessageA(closeAfterwards, WM_CLOSE, 0, 0);
        }
    };
}

class Dialogs : public ShellFixture {
protected:
    void SetUp() override
    {
        ShellFixture::SetUp();
        root_ = TreesFolder();
        if (root_.empty()) {
            GTEST_SKIP() << "the folder trees are built by the Wine test fixture";
        }
        platform::AppendListRow(shell_->trackList, "C:\\first.mp3");
        platform::SetListItemText(shell_->trackList, 0, 1, "120.00");
        platform::SetListItemText(shell_->trackList, 0, 2, "60.00");
        platform::AppendListRow(shell_->trackList, "C:\\second.wav");
        platform::SetListItemText(shell_->trackList, 1, 1, "98.50");
        platform::SetListItemText(shell_->trackList, 1, 2, "147.75");
    }

    void ExpectListUntouched()
    {
        EXPECT_EQ(Rows(0), (std::vector<std::string>{"C:\\first.mp3", "C:\\second.wav"}));
        EXPECT_EQ(Rows(1), (std::vector<std::string>{"120.00", "98.50"}));
        EXPECT_EQ(Rows(2), (std::vector<std::string>{"60.00", "147.75"}));
    }

    static bool Shows(const DialogSeen& seen, const std::string& text)
    {
        return std::find(seen.childTexts.begin(), seen.childTexts.end(), text) != seen.childTexts.end();
    }

    std::string root_;
};

TEST_F(Dialogs, FileDialogShowsTitleAndFilterAndCancelChangesNothing)
{
    DialogDriver driver(GetCurrentThreadId(), PressCancel);
    shell::LoadFile(*shell_);
    driver.Join();
    ASSERT_TRUE(driver.found);
    EXPECT_EQ(driver.seen.title, "Select an Audio File");
    EXPECT_EQ(driver.seen.firstFilter, "Audio (*mp3,*.wav)");
    ExpectListUntouched();
}

TEST_F(Dialogs, TypedNameOfAMissingFileInAnExistingFolderIsListed)
{
    char before[1024] = {};
    GetCurrentDirectoryA(sizeof before, before);
    const std::string typed = root_ + "flat\\not here yet.mp3";
    DialogDriver driver(GetCurrentThreadId(), TypeFileName(typed));
    shell::LoadFile(*shell_);
    driver.Join();
    ASSERT_TRUE(driver.found);
    EXPECT_EQ(Rows(0), std::vector<std::string>{typed});
    EXPECT_EQ(Rows(1), std::vector<std::string>{""}) << "a new row has no tempo yet";
    char after[1024] = {};
    GetCurrentDirectoryA(sizeof after, after);
    EXPECT_STREQ(after, before) << "the dialog must leave the current folder alone";
}

TEST_F(Dialogs, LoadFileAppliesNoAudioNameTest)
{
    const std::string typed = root_ + "flat\\notes.txt";
    DialogDriver driver(GetCurrentThreadId(), TypeFileName(typed));
    shell::LoadFile(*shell_);
    driver.Join();
    EXPECT_EQ(Rows(), std::vector<std::string>{typed});
}

TEST_F(Dialogs, FolderDialogShowsItsTextAndCancelChangesNothing)
{
    for (auto command : {shell::LoadFolder, shell::LoadFolderRecursive}) {
        DialogDriver driver(GetCurrentThreadId(), PressCancel);
        command(*shell_);
        driver.Join();
        ASSERT_TRUE(driver.found);
        EXPECT_TRUE(Shows(driver.seen, "Select a folder"));
        ExpectListUntouched();
    }
}

TEST_F(Dialogs, LoadFolderReplacesTheListWithTheFolderAudioFiles)
{
    const std::string folder = root_ + "flat";
    DialogDriver driver(GetCurrentThreadId(), PickFolder(folder));
    shell::LoadFolder(*shell_);
    driver.Join();
    EXPECT_EQ(shell_->folderPath, folder + "\\");
    EXPECT_EQ(Rows(), (std::vector<std::string>{folder + "\\a.MP3", folder + "\\b.wav", folder + "\\SONG.Mp3",
                                                folder + "\\take.WAV"}));
    EXPECT_EQ(Rows(1), std::vector<std::string>(4, ""));
}

TEST_F(Dialogs, DriveRootGivesRowsWithASingleBackslash)
{
    // Z: is Wine's view of the Linux root; its top level holds no audio files, so the
    // rows of a root are checked on drive Y:, which the fixture maps to a folder.
    DialogDriver driver(GetCurrentThreadId(), PickFolder("Z:\\"));
    shell::LoadFolder(*shell_);
    driver.Join();
    EXPECT_EQ(shell_->folderPath, "Z:\\");

    platform::ClearList(shell_->trackList);
    shell::ScanFolder(*shell_, "Y:\\");
    EXPECT_EQ(Rows(), std::vector<std::string>{"Y:\\song.mp3"});
}

TEST_F(Dialogs, CloseDuringARecursiveLoadIsDiscarded)
{
    const std::string tree = root_ + "tree";
    HWND window = shell_->window->Handle();
    DialogDriver driver(GetCurrentThreadId(), PickFolder(tree, window));
    shell::LoadFolderRecursive(*shell_);
    driver.Join();
    const std::vector<std::string> rows = Rows();
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows.front(), tree + "\\live.mp3");
    EXPECT_EQ(rows.back(), tree + "\\Z\\z.mp3");
    EXPECT_TRUE(IsWindow(window));

    PostMessageA(window, WM_COMMAND, MAKEWPARAM(7, 0), 0);
    PostMessageA(window, WM_CLOSE, 0, 0);
    shell::RunEventLoop(*shell_);
    EXPECT_EQ(opener_.opened.size(), 1u) << "the loop went on after the scan";
}

}  // namespace
