#pragma once

#include <string>
#include <type_traits>
#include <utility>
#include <variant>

#include "common/Check.h"

// How every part of the programs says that something failed, and why: the
// reason, in words fit to follow "NAME: " in a message. A success costs no
// allocation; the reason is built only on the way to a message.

// A failure on its way up: `return Failure("cannot ...");`.
class Failure {
public:
    // cppcheck-suppress passedByValue
    explicit Failure(std::string why) noexcept : text(std::move(why)) {}

    [[nodiscard]] const std::string& reason() const noexcept { return text; }
    [[nodiscard]] std::string takeReason() && noexcept { return std::move(text); }

private:
    std::string text;
};

// Done, or a failure with its reason.
class [[nodiscard]] Status {
public:
    // Done.
    Status() noexcept = default;
    // Implicit: a failure returned is a Status
    // cppcheck-suppress [noExplicitConstructor,passedByValue]
    Status(Failure failure) noexcept : why(std::move(failure).takeReason()), failed(true) {}

    [[nodiscard]] bool ok() const noexcept { return !failed; }
    explicit operator bool() const noexcept { return ok(); }

    // Why it failed; only for a failure.
    [[nodiscard]] const std::string& reason() const
    {
        FRACTION_CHECK(failed);
        return why;
    }
    // The failure, to hand on.
    [[nodiscard]] Failure failure() const { return Failure(reason()); }

private:
    std::string why;
    bool failed = false;
};

// A value, or a failure with its reason; `Why` is a Failure that tells
// more, where a caller needs more than the words.
template <typename T, typename Why = Failure>
class [[nodiscard]] Result {
public:
    // Implicit: a value returned is a Result
    // cppcheck-suppress [noExplicitConstructor,passedByValue]
    Result(T value) noexcept(std::is_nothrow_move_constructible_v<T>)
        : content(std::in_place_index<0>, std::move(value))
    {
    }
    // Implicit: a failure returned is a Result
    // cppcheck-suppress [noExplicitConstructor,passedByValue]
    Result(Why failure) noexcept : content(std::in_place_index<1>, std::move(failure)) {}

    [[nodiscard]] bool ok() const noexcept { return content.index() == 0; }
    explicit operator bool() const noexcept { return ok(); }

    // The value; only for a success.
    [[nodiscard]] T& value() &
    {
        FRACTION_CHECK(ok());
        return *std::get_if<0>(&content);
    }
    [[nodiscard]] const T& value() const&
    {
        FRACTION_CHECK(ok());
        return *std::get_if<0>(&content);
    }
    [[nodiscard]] T&& value() &&
    {
        FRACTION_CHECK(ok());
        return std::move(*std::get_if<0>(&content));
    }

    // Why it failed; only for a failure.
    [[nodiscard]] const std::string& reason() const
    {
        FRACTION_CHECK(!ok());
        return std::get_if<1>(&content)->reason();
    }
    // The failure, to hand on.
    [[nodiscard]] const Why& failure() const
    {
        FRACTION_CHECK(!ok());
        return *std::get_if<1>(&content);
    }
    // Done or not, without the value.
    [[nodiscard]] Status status() const { return ok() ? Status() : Status(Failure(reason())); }

private:
    std::variant<T, Why> content;
};
