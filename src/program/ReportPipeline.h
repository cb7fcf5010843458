#pragma once

#include <cstdint>
#include <iosfwd>
#include <limits>
#include <optional>
#include <string>

#include "TextOutput.h"
#include "common/Outcome.h"
#include "sort/RecordSource.h"
#include "sort/SortedStore.h"
#include "terminal/Progress.h"

// What the report prints of its own: everything, its summary alone (the
// counts, the sum, the average, the median and the extremes) as text or as
// one JSON object, or nothing. Its prompts and reasons are printed in
// every case.
enum class ReportText { full, summary, json, none };

// The report on one fraction file, whatever names it has: takes the
// records from a stream, lists them, sorts them into the report's order
// through a sorted store, lists them again so, summarises them, and writes
// them sorted to another stream. Asking for names, and what a name that
// cannot be used leads to, are the caller's.
class ReportPipeline {
public:
    struct Settings {
        ReportText text = ReportText::full;
        // The bytes the records and the listing's lines may take in memory:
        // more records are sorted in runs kept in temporary files in
        // `temporaryDirectory`, and merged.
        std::uint64_t memoryBudget = std::numeric_limits<std::uint64_t>::max();
        std::string temporaryDirectory = ".";
        // The threads the work may use, fewer where the budget cannot hold
        // their own memory (sorting::threadsWithin); the bytes are the same
        // for any.
        unsigned threads = 1;
    };

    ReportPipeline(TextOutput& text, Progress& shown, const Settings& settings);

    enum class Outcome {
        ready,
        // The file cannot be used (not a fraction file, cut short): another
        // name may be asked for.
        unusable,
        // Nothing can go on: memory or a temporary file failed, or the text
        // could not be written (then with no message: whoever checks the
        // output stream tells it).
        failed,
    };

    struct Result {
        Outcome outcome = Outcome::ready;
        // Why, when not ready, a line fit to follow "fraction: ".
        std::string message;
        // Something to tell though the work goes on.
        std::string warning;
    };

    // Reads the count of the fraction file on `in`, which `name` names in
    // messages, and makes sure of its records before anything is listed:
    // read into memory, or found to be there, or copied aside. Nothing of
    // an earlier file taken is kept. `in` must last until write() ends.
    [[nodiscard]] Result take(std::istream& in, const std::string& name);

    // Lists, sorts, lists again and summarises the records taken.
    [[nodiscard]] Result show();

    // Writes the sorted file to `file`.
    [[nodiscard]] Status write(std::ostream& file);

private:
    class FirstListing;
    class SortedListing;

    // What the listing's lines take of the memory budget.
    [[nodiscard]] std::uint64_t listingBytes() const noexcept;
    void listHeading();
    void summarise(fraction::Fraction sum, std::int32_t validCount, const SortedListing& sorted);
    void summariseAsJson(const fraction::Fraction& sum, const FirstListing& first,
                         const SortedListing& sorted);

    TextOutput& out;
    Progress& progress;
    ReportText shownText;
    std::uint64_t memoryBudget;
    std::string temporaryDirectory;
    unsigned threads;
    sorting::SortedStore store;
    // The count the file starts with, and the records it stands for.
    std::int32_t nData = 0;
    std::uint64_t total = 0;
    // Where the records come from a block at a time, as they are listed;
    // none when they were all read into the store's room to begin with.
    std::optional<sorting::RecordSource> source;
};
