# Cross compiling for 64-bit Windows with Debian's mingw-w64 (posix threads).
# ctest runs the results under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(DOZOZEDA_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${DOZOZEDA_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${DOZOZEDA_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${DOZOZEDA_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${DOZOZEDA_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Without -static the posix thread model still needs libwinpthread-1.dll,
# and a program missing a DLL dies silently under Wine.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)

# GCC 12 at -O2 warns that std::string's operator+ overlaps its own buffer
# (GCC bug 105329), a false alarm that -Werror would turn into a failed build.
set(CMAKE_CXX_FLAGS_INIT "-Wno-restrict")
