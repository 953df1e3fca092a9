// Deterministic random numbers for the simulated network: the same seed gives the same network
// on every platform and library version (std distributions do not promise that).
#pragma once

#include <cstdint>
#include <string_view>

class Rng {
public:
    explicit Rng(std::uint64_t seed) : m_state(seed) {}

    // SplitMix64.
    std::uint64_t next() {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }

    // Uniform in [0, bound); 0 when bound is 0. The multiply-shift bias is far below anything a
    // usage simulation can show.
    std::uint32_t below(std::uint32_t bound) {
        return static_cast<std::uint32_t>(((next() >> 32) * bound) >> 32);
    }

    // Uniform in [low, high], both ends included; low <= high.
    std::int64_t between(std::int64_t low, std::int64_t high) {
        const auto span = static_cast<std::uint64_t>(high - low) + 1;
        return low + static_cast<std::int64_t>(span == 0 ? next() : next() % span);
    }

    // True with probability numerator/denominator; integer-only so results never depend on
    // floating-point library details.
    bool chance(std::uint32_t numerator, std::uint32_t denominator) { return below(denominator) < numerator; }

    // One well-mixed value from several inputs: independent streams per machine and day.
    static std::uint64_t mix(std::uint64_t a, std::uint64_t b) {
        Rng r(a ^ (b * 0xD6E8FEB86659FD93ULL + 0x632BE59BD9B4E019ULL));
        r.next();
        return r.next();
    }

    // FNV-1a: a stable hash of a name (std::hash differs between libraries).
    static std::uint64_t hash(std::string_view text) {
        std::uint64_t h = 0xCBF29CE484222325ULL;
        for (const char c : text) {
            h ^= static_cast<unsigned char>(c);
            h *= 0x100000001B3ULL;
        }
        return h;
    }

private:
    std::uint64_t m_state;
};
