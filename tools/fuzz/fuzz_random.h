#pragma once
// A small deterministic generator: the same seed gives the same inputs on every machine, so a
// finding is reproduced by its seed and index alone.
#include <cstdint>

class CFuzzRandom
{
public:
    explicit CFuzzRandom(uint64_t seed) noexcept : m_state(seed) {}

    // splitmix64
    uint64_t Next() noexcept
    {
        uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // 0 .. n-1 (0 when n is 0).
    size_t Below(size_t n) noexcept { return n == 0 ? 0 : static_cast<size_t>(Next() % n); }
    // lo .. hi inclusive.
    size_t Between(size_t lo, size_t hi) noexcept { return lo + Below(hi - lo + 1); }
    // True with a chance of nPercent in 100.
    bool Percent(unsigned nPercent) noexcept { return Below(100) < nPercent; }

private:
    uint64_t m_state;
};

// The generator of input number nIndex of one kind: independent of every other input, so a
// run can start again at any index after a crash.
inline uint64_t FuzzInputSeed(uint64_t seed, uint32_t nKind, uint64_t nIndex) noexcept
{
    CFuzzRandom mix(seed ^ (static_cast<uint64_t>(nKind) << 56) ^ (nIndex * 0xD1B54A32D192ED03ull));
    return mix.Next();
}
