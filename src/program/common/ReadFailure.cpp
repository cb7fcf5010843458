#include "common/ReadFailure.h"

#include <cerrno>
#include <cstring>

std::string shortReadReason(const std::istream& in, std::string atEnd)
{
    // A stream's buffer reports a failed read by failing the stream for
    // good (badbit); the end of the data only sets eofbit and failbit.
    if (!in.bad()) {
        return atEnd;
    }
    const int error = errno;
    return error != 0 ? std::strerror(error) : "cannot be read";
}
