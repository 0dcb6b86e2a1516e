// Starts the real TempoScout.exe, finds its window, asks it to close or quit, and
// checks that it ends with exit code 0.
#include "platform/ScopedWin.h"
#include "shell/MainWindow.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

class ProgramSmoke : public ::testing::TestWithParam<bool> {};

HWND WaitForMainWindow(DWORD processId)
{
    for (int attempt = 0; attempt < 300; ++attempt) {
        HWND found = nullptr;
        while ((found = FindWindowExA(nullptr, found, shell::kWindowClass, shell::kWindowTitle)) != nullptr) {
            DWORD owner = 0;
            GetWindowThreadProcessId(found, &owner);
            if (owner == processId) {
                return found;
            }
        }
        Sleep(100);
    }
    return nullptr;
}

TEST_P(ProgramSmoke, StartsShowsItsWindowAndEndsWithExitCodeZero)
{
    char self[MAX_PATH * 4] = {};
    GetModuleFileNameA(nullptr, self, sizeof self);
    std::string program(self);
    program = program.substr(0, program.rfind('\\') + 1) + "TempoScout.exe";

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    std::string commandLine = "\"" + program + "\"";
    ASSERT_TRUE(CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &info));
    platform::UniqueHandle process(info.hProcess);
    platform::UniqueHandle thread(info.hThread);

    HWND window = WaitForMainWindow(info.dwProcessId);
    if (window == nullptr) {
        TerminateProcess(process.Get(), 1);
        FAIL() << "the program showed no main window";
    }
    EXPECT_TRUE(IsZoomed(window));
    if (GetParam()) {
        PostMessageA(window, WM_CLOSE, 0, 0);
    } else {
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(shell::kQuitCommand, 0), 0);
    }
    if (WaitForSingleObject(process.Get(), 30000) != WAIT_OBJECT_0) {
        TerminateProcess(process.Get(), 1);
        FAIL() << "the program did not end after the request";
    }
    DWORD exitCode = 1234;
    GetExitCodeProcess(process.Get(), &exitCode);
    EXPECT_EQ(exitCode, 0u);
}

INSTANTIATE_TEST_SUITE_P(CloseOrQuit, ProgramSmoke, ::testing::Bool(),
                         [](const auto& testInfo) { return testInfo.param ? "CloseRequest" : "QuitCommand"; });

}  // namespace
