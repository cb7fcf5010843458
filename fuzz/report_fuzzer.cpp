// Fuzzes the report over arbitrary bytes taken as a fraction file: parsing,
// the listing, the sort, the summary and the written output, all in memory.
// Whatever the library reads as a file, the report takes too.
// Whenever the bytes are accepted, the written file must parse back with
// the same count and the same records, valid ones greatest first.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "ReportPipeline.h"
#include "TextOutput.h"
#include "common/Check.h"
#include "fraction/Fraction.h"
#include "fraction/FractionFile.h"

using fraction::Fraction;
using fraction::FractionFileResult;
using fraction::FractionRecord;
using fraction::isMarkerPair;
using fraction::readFractionFile;
using fraction::RecordList;

namespace {

__extension__ using Wide = __int128;

using RecordKey = std::tuple<bool, std::int32_t, std::int32_t>;

std::vector<RecordKey> keysOf(const RecordList& records)
{
    std::vector<RecordKey> keys;
    keys.reserve(records.size());
    for (const FractionRecord& record : records) {
        const Fraction fraction = Fraction::fromRecord(record);
        if (fraction.isValid()) {
            keys.emplace_back(true, fraction.numeratorPart(), fraction.denominatorPart());
        } else {
            keys.emplace_back(false, 0, 0);
        }
    }
    return keys;
}

// a > b for valid fractions, in exact arithmetic.
bool exactlyGreater(const Fraction& a, const Fraction& b)
{
    const Wide crossDifference = Wide{a.numeratorPart()} * b.denominatorPart() -
                                 Wide{b.numeratorPart()} * a.denominatorPart();
    const Wide denominatorSign =
        (a.denominatorPart() < 0) == (b.denominatorPart() < 0) ? Wide{1} : Wide{-1};
    return crossDifference * denominatorSign > 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::istringstream file(std::string(data, data + size));
    FractionFileResult parsed = readFractionFile(file);
    if (!parsed.contents) {
        FRACTION_CHECK(!parsed.message.empty());
        return 0;
    }
    const std::int32_t nData = parsed.contents->count;
    RecordList& records = parsed.contents->records;
    FRACTION_CHECK(nData <= 0 || records.size() == static_cast<std::size_t>(nData));

    // What the listing must hold: each record reduced, invalid ones as the
    // marker pair.
    RecordList reducedInput;
    FRACTION_CHECK(reducedInput.resize(records.size()));
    for (std::size_t i = 0; i < records.size(); ++i) {
        Fraction fraction = Fraction::fromRecord(records[i]);
        fraction.reduce();
        reducedInput[i] = fraction.toRecord();
    }

    // The report in memory on one thread, and in runs of a few entries
    // merged on threads of their own: the same text and the same file.
    const auto report = [data, size](const ReportPipeline::Settings& settings) {
        std::istringstream input(std::string(data, data + size));
        std::ostringstream listing;
        std::ostringstream sorted;
        {
            TextOutput text(listing, false);
            Progress quiet(nullptr);
            ReportPipeline pipeline(text, quiet, settings);
            FRACTION_CHECK(pipeline.take(input, "fuzz").outcome == ReportPipeline::Outcome::ready);
            FRACTION_CHECK(pipeline.show().outcome == ReportPipeline::Outcome::ready);
            FRACTION_CHECK(pipeline.write(sorted).ok());
        }
        return std::pair(listing.str(), sorted.str());
    };
    const auto [listing, writtenBytes] = report(ReportPipeline::Settings());
    ReportPipeline::Settings inRuns;
    inRuns.memoryBudget = 0;
    inRuns.threads = 2;
    FRACTION_CHECK(report(inRuns) == std::pair(listing, writtenBytes));
    std::istringstream written(writtenBytes);

    FractionFileResult reread = readFractionFile(written);
    FRACTION_CHECK(reread.contents.has_value());
    FRACTION_CHECK(reread.contents->count == nData);
    FRACTION_CHECK(!reread.contents->hasTrailingBytes);
    const RecordList& readBack = reread.contents->records;
    for (const FractionRecord& record : readBack) {
        FRACTION_CHECK(isMarkerPair(record) || record.denominator != 0);
    }

    std::vector<RecordKey> expectedKeys = keysOf(reducedInput);
    std::vector<RecordKey> actualKeys = keysOf(readBack);
    std::sort(expectedKeys.begin(), expectedKeys.end());
    std::sort(actualKeys.begin(), actualKeys.end());
    FRACTION_CHECK(expectedKeys == actualKeys);

    for (std::size_t i = 1; i < readBack.size(); ++i) {
        const Fraction before = Fraction::fromRecord(readBack[i - 1]);
        const Fraction after = Fraction::fromRecord(readBack[i]);
        FRACTION_CHECK(before.isValid() || !after.isValid());
        FRACTION_CHECK(!(before.isValid() && after.isValid()) || !exactlyGreater(after, before));
    }
    return 0;
}
