#include <cstdlib>

#include "Fraction.h"

int main()
{
    unitTest();
    return EXIT_SUCCESS;
}
