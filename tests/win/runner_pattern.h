#pragma once
// The bytes a test child writes: a reproducible stream without NUL bytes, so a captured
// text can be compared byte for byte with what the child was told to write.
#include <stddef.h>
#include <stdint.h>

inline char runner_pattern_byte(uint32_t seed, size_t index)
{
    uint32_t x = (uint32_t)index * 2654435761u ^ (seed + 1) * 40503u;
    x ^= x >> 15;
    x *= 2246822519u;
    x ^= x >> 13;
    return (char)(1 + x % 255);
}

inline void runner_pattern_fill(uint32_t seed, size_t from, char *out, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        out[i] = runner_pattern_byte(seed, from + i);
}
