#pragma once
// Runs a step on every way out of a scope: a modal dialog that a test drives from
// a timer is closed even when a failed check returns early, so the test cannot
// wait for ever.

#include <functional>
#include <utility>

class TOnExit {
public:
    explicit TOnExit(std::function<void()> step) : FStep(std::move(step)) {}
    ~TOnExit() { FStep(); }
    TOnExit(const TOnExit&) = delete;
    TOnExit& operator=(const TOnExit&) = delete;

private:
    std::function<void()> FStep;
};
