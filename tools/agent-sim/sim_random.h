#pragma once

#include <cstdint>

// SplitMix64: small, fast and the same on every platform, so a seed gives the
// same domain everywhere.
class SimRandom
{
public:
    explicit SimRandom(std::uint64_t seed) : m_state(seed) {}
    std::uint64_t Next()
    {
        std::uint64_t z = (m_state += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }
    // 0 .. n-1 (0 when n is 0)
    std::uint64_t Below(std::uint64_t n) { return n ? Next() % n : 0; }
    // low .. high inclusive
    long long Range(long long low, long long high)
    {
        return low + static_cast<long long>(Below(static_cast<std::uint64_t>(high - low + 1)));
    }
    // true with probability perMille / 1000
    bool Chance(int perMille) { return static_cast<int>(Below(1000)) < perMille; }

private:
    std::uint64_t m_state;
};
