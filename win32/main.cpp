// The window program on Windows: the command line, the provider, then the main window until it closes.
#include "desktop/CommandLine.h"
#include "desktop/UserSettings.h"
#include "desktop/Utf16.h"
#include "ui/ExitStatus.h"
#include "ui/WindowProgram.h"
#include "win32/MainFrm.h"

#include <windows.h>

#include <objbase.h>

using namespace z83::ui;

namespace {

// What the command line asks to be told goes to the standard stream when the program was given one (a
// console's redirection, a script); otherwise, as a program without a console, into a box.
void tell(const std::string& text, bool error) {
    HANDLE stream = ::GetStdHandle(error ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    DWORD written = 0;
    if (stream && stream != INVALID_HANDLE_VALUE && ::GetFileType(stream) != FILE_TYPE_UNKNOWN &&
        ::WriteFile(stream, text.data(), static_cast<DWORD>(text.size()), &written, nullptr))
        return;
    ::MessageBoxW(nullptr, z83::win::toUtf16(text).c_str(), z83::win::toUtf16(z83::executableName()).c_str(),
                  (error ? MB_ICONERROR : MB_ICONINFORMATION) | MB_OK | MB_SETFOREGROUND);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    const std::string program = z83::executableName();
    z83::FileSystem& fileSystem = nativeFileSystem();
    Launch launched = launch(z83::commandLineArguments(0, nullptr), program, fileSystem);
    if (launched.endWith) {
        tell(launched.text, launched.error);
        return *launched.endWith;
    }

    // The window's thread is a single-threaded apartment, as the component and the shell expect of it.
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    int status = ExitStatus::Closed;
    {
        z83::win::MainFrm window(instance, std::move(launched.createProvider), fileSystem);
        window.tellRecordingTrouble(launched.recording);
        const auto ended = window.start();
        status = ended ? *ended : window.run();
    }
    if (SUCCEEDED(com))
        ::CoUninitialize();
    return status;
}
