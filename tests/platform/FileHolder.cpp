// Holds a file open with no sharing, as another program on the same machine
// might, until its standard input closes. Prints "ready" once the file is held.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2)
        return 2;
    const HANDLE file = ::CreateFileW(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    DWORD n = 0;
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), "ready\n", 6, &n, nullptr);
    char c;
    while (::ReadFile(::GetStdHandle(STD_INPUT_HANDLE), &c, 1, &n, nullptr) && n > 0) {
    }
    ::CloseHandle(file);
    return 0;
}
