// Seeded random inputs for tests that compare against a reference over many cases; the seed is
// printed on failure so a case can be replayed with ZRV5_TEST_SEED=<seed>.
#pragma once

#include <cstdint>
#include <random>
#include <string>

// Returns the seed of this run: ZRV5_TEST_SEED when set, else a fixed default.
std::uint32_t test_seed();

// A random source whose seed is shown in every failure message of the scope that holds it
// (use with SCOPED_TRACE(rng.trace())).
class SeededRandom {
public:
    explicit SeededRandom(std::uint32_t salt = 0) : seed_(test_seed()), engine_(seed_ ^ salt) {}

    std::uint32_t word() { return static_cast<std::uint32_t>(engine_()); }
    // Returns a value in [low, high].
    std::int32_t between(std::int32_t low, std::int32_t high) {
        return std::uniform_int_distribution<std::int32_t>(low, high)(engine_);
    }
    std::string trace() const { return "replay with ZRV5_TEST_SEED=" + std::to_string(seed_); }

private:
    std::uint32_t seed_;
    std::mt19937 engine_;
};
