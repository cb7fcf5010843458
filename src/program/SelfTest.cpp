#include "SelfTest.h"

#include <fstream>
#include <iostream>
#include <string>

#include "CommandConventions.h"
#include "OutputFile.h"
#include "common/Check.h"
#include "fraction/Fraction.h"

using fraction::Fraction;
using fraction::gcd;

namespace {

constexpr const char* kRecordFileName = "unitTest.dat";

// Writes the record to a temporary file and renames it onto the record
// file, so that a self-test running beside this one never reads it half
// written, and a link of that name is replaced rather than written
// through. A failure is told on standard error, then left to the round
// trip's check, which still finds the value when an earlier run's file
// holds it.
void writeRecordFile(const Fraction& fraction)
{
    Result<std::unique_ptr<OutputFile>> recordFile =
        OutputFile::open(kRecordFileName, OutputFile::Links::replace);
    const Status written = [&fraction, &recordFile]() -> Status {
        if (!recordFile) {
            return Failure("cannot write: " + recordFile.reason());
        }
        fraction.writeBinary(recordFile.value()->stream());
        return recordFile.value()->finish();
    }();
    if (!written) {
        std::cout.flush();
        tellProblem(std::cerr, std::string(kRecordFileName) + ": " + written.reason());
    }
}

}  // namespace

void unitTest(std::ostream& out)
{
    Fraction f1;
    FRACTION_CHECK(f1.setValue(1245, -1230));
    f1.print(out);
    out << std::endl;
    FRACTION_CHECK(!f1.isPositive());
    FRACTION_CHECK(!f1.setValue(1234, 0));
    FRACTION_CHECK(!f1.setValue(10001, 1));
    FRACTION_CHECK(!f1.setValue(10001, -1));

    Fraction f2;
    f2.copyFrom(f1);
    FRACTION_CHECK(!f2.isValid());
    FRACTION_CHECK(f1.setValue(1234, 5678));
    f2.copyFrom(f1);
    FRACTION_CHECK(f1.equal(f2));
    f1.setZero();
    FRACTION_CHECK(f2.setValue(0, 100));
    FRACTION_CHECK(f2.isZero());
    FRACTION_CHECK(f1.equal(f2));

    FRACTION_CHECK(gcd(12, 94) == 2);
    FRACTION_CHECK(gcd(12, 84) == 12);
    FRACTION_CHECK(gcd(14235, 1235) == 65);
    FRACTION_CHECK(gcd(-2345434, 234556) == 14);
    FRACTION_CHECK(gcd(1234, 0) == 1);

    f1.setValue(14235, 1235);
    f2.setValue(14235, 1235);
    f1.reduce();
    FRACTION_CHECK(f1.equal(f2));
    f1.setValue(949, 14235);
    f2.setValue(1, 15);
    f1.reduce();
    FRACTION_CHECK(f1.equal(f2));
    FRACTION_CHECK(f1.equal(f1));
    f1.setValue(100001, 1);
    f2.setValue(100001, 1);
    FRACTION_CHECK(!f1.equal(f2));

    f1.setValue(1, 2);
    f2.setValue(3, 4);
    FRACTION_CHECK(f2.isGreater(f1));
    f1.multiply(f2);
    f2.setValue(3, 8);
    FRACTION_CHECK(f1.equal(f2));
    f1.setValue(2, 18);
    f2.setValue(3, 4);
    f1.multiply(f2);
    f2.setValue(1, 12);
    FRACTION_CHECK(f1.equal(f2));
    f1.setValue(2, 18);
    f2.setValue(4, 3);
    f1.divide(f2);
    f2.setValue(1, 12);
    FRACTION_CHECK(f1.equal(f2));
    f1.setValue(123, 456);
    f2.setValue(789, 6543);
    f1.add(f2);
    f2.setValue(129397, 331512);
    FRACTION_CHECK(f1.equal(f2));
    f1.setValue(504, 3273);
    f2.setValue(43, 27);
    f1.subtract(f2);
    f2.setValue(-42377, 29457);
    FRACTION_CHECK(f1.equal(f2));
    f1.print(out);
    out << std::endl;

    writeRecordFile(f1);
    // The comparison after reading back is what tells whether the file
    // worked; the stream's state is not examined.
    std::ifstream recordIn(kRecordFileName, std::ios::binary | std::ios::in);
    f2.setZero();
    f2.readBinary(recordIn);
    recordIn.close();
    FRACTION_CHECK(f1.equal(f2));

    FRACTION_CHECK(f1.setValue(-5406247, 3750));
    f1.print(out);
    out << std::endl;
    FRACTION_CHECK(!f1.isPositive());

    out << "All unit tests completed\n";
}
