#pragma once

#include <iosfwd>

// The start-up self-test: drives two fractions through every operation and a
// record round trip through "unitTest.dat" in the working directory, printing
// three fractions and a completion line on `out`. A failed check stops the
// program with the check's text on standard error.
void unitTest(std::ostream& out);
