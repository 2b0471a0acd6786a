#pragma once

#include <exception>
#include <utility>

// Qt's own code between an event and its handler is not built to pass exceptions on, so every
// handler runs its body through Guarded: a failure that escapes the body ends the user's action
// there and is shown as the application's top-level error report.
void ReportEscapedFailure(std::exception_ptr failure) noexcept;

template <typename Body> void Guarded(Body&& body) noexcept
{
    try {
        std::forward<Body>(body)();
    } catch (...) {
        ReportEscapedFailure(std::current_exception());
    }
}

// The same for a handler that answers (an event filter): `fallback` when the body failed.
template <typename Result, typename Body> Result GuardedResult(Result fallback, Body&& body) noexcept
{
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        ReportEscapedFailure(std::current_exception());
    }
    return fallback;
}
