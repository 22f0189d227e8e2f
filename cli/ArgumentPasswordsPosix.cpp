#include "ArgumentPasswords.h"

#include "ShareAddress.h"

#include <cstring>

namespace cli {

void hideArgumentPasswords(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        char* const text = argv[i];
        const std::size_t length = std::strlen(text);
        std::size_t out = 0;
        std::size_t kept = 0;
        for (const auto& [first, last] : platform::passwordSpans(std::string_view(text, length))) {
            std::memmove(text + out, text + kept, first - kept);
            out += first - kept;
            kept = last;
        }
        if (kept == 0)
            continue;
        std::memmove(text + out, text + kept, length - kept);
        out += length - kept;
        std::memset(text + out, 0, length - out);
    }
}

} // namespace cli
