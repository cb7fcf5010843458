// Prints the processors this process may use, as the report counts them
// for its default thread count: cpu_quota_test.sh runs it inside a control
// group with a processor quota.

#include <iostream>

#include "platform/Platform.h"

int main()
{
    std::cout << platform::processorsAvailable() << '\n';
    return std::cout ? 0 : 1;
}
