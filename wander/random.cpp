// The random source: carried by the program so that every platform draws the same numbers.
#include "wander/wander.h"

#include <cstdint>

static std::uint32_t randomState = 1; // as an unseeded C runtime's rand()

void seedRandom(unsigned seed)
{
    randomState = seed;
}

int nextRandom()
{
    randomState = randomState * 214013u + 2531011u; // wraps modulo 2^32
    return static_cast<int>((randomState >> 16) & 0x7FFFu);
}
