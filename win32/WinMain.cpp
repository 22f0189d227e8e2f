#include "Forms.h"
#include "HandlerGuard.h"
#include "MessageLoop.h"
#include "Runtime.h"
#include "Text.h"
#include "Win32WindowingLayer.h"

#include <windows.h>

namespace {

// An installed copy sits in a folder its user cannot write, such as
// Program Files; the test file then goes to the user's own data folder.
std::string userDataFolder()
{
    wchar_t folder[MAX_PATH] = {};
    DWORD length = ::GetEnvironmentVariableW(L"LOCALAPPDATA", folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        length = ::GetTempPathW(MAX_PATH, folder);
    std::wstring path(folder, length);
    if (!path.empty() && path.back() != L'\\')
        path += L'\\';
    return win32layer::toUtf8(path + L"Dozozeda");
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    platform::setProgramFolderFallback(userDataFolder);
    win32layer::Win32WindowingLayer layer;
    forms::useWindowingLayer(&layer);
    Forms forms;
    forms::runGuarded([&forms] { forms.form1.Show(); });
    return win32layer::runMessageLoop();
}
