#include "FailureReason.h"

namespace cli {

// The system's numbers are errno's here.
std::optional<Reason> reasonOfSystemError(int code)
{
    return reasonOfErrno(code);
}

} // namespace cli
