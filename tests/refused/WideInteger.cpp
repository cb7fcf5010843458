// Must not compile: an integer wider than 64 bits would be cut to 64 bits
// on its way into a fraction. The test that builds this expects the
// library's own refusal.
#include <fraction/Fraction.h>

fraction::Fraction wideInteger()
{
    return fraction::Fraction(static_cast<__int128>(1) << 64U);
}
