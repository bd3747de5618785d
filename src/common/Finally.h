#pragma once

#include <utility>

namespace tessel {

// Runs a function when the scope ends, on every way out, exceptions included.
template <typename F> class Finally {
public:
    explicit Finally(F f) : m_f(std::move(f)) {}
    ~Finally() { m_f(); }
    Finally(const Finally &) = delete;
    Finally &operator=(const Finally &) = delete;

private:
    F m_f;
};

} // namespace tessel
