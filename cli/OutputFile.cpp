#include "OutputFile.h"

namespace cli {

std::string OutputFile::lineEndAfter(char last, const std::string& text)
{
    if (last == '\n')
        return {};
    // Cut between the CR and the LF of a CSV row.
    if (last == '\r')
        return "\n";
    return text.ends_with("\r\n") ? "\r\n" : "\n";
}

} // namespace cli
