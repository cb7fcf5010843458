#include "StandardOutput.h"

#include <iostream>

#include "CommandConventions.h"

StandardOutput::StandardOutput()
    : file(platform::StandardStream::output), previous(std::cout.rdbuf(file.stream().rdbuf()))
{
}

StandardOutput::~StandardOutput()
{
    std::cout.flush();
    std::cout.rdbuf(previous);
}

bool StandardOutput::finish()
{
    if (std::cout.flush()) {
        return true;
    }
    const std::string reason = failureReason();
    tellProblem(std::cerr, reason.empty() ? std::string("cannot write standard output")
                                          : "cannot write standard output: " + reason);
    return false;
}

std::string StandardOutput::failureReason() const
{
    const Status& failure = file.firstWriteError();
    return failure ? std::string() : failure.reason();
}
