// Holds a file open with no sharing, as another program on the same machine
// might, and sets the named event once it does. Ends after a minute at the
// latest, so that it cannot outlive a test that failed to end it.
#include <windows.h>

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3
        || ::CreateFileW(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)
            == INVALID_HANDLE_VALUE)
        return 1;
    ::SetEvent(::OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[2]));
    ::Sleep(60'000);
    return 0;
}
