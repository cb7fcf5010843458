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
    const Status& failure = file.firstWriteError();
    tellProblem(std::cerr, failure ? std::string("cannot write standard output")
                                   : "cannot write standard output: " + failure.reason());
    return false;
}
