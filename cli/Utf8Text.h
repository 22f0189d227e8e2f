#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace cli {

// A Linux file name is bytes, not necessarily UTF-8; every format the
// program writes is UTF-8, and a reader that meets a byte that is no UTF-8
// may refuse the whole result (node_exporter drops the whole metrics file).

// The length of the well-formed UTF-8 sequence at `at`, or 0.
std::size_t utf8SequenceLength(std::string_view text, std::size_t at);

// `text` with every byte that starts no well-formed UTF-8 sequence replaced
// by U+FFFD, the replacement character.
std::string validUtf8(std::string_view text);

} // namespace cli
