// The sphere's wandering between random points of the box, and the random source behind it.
#pragma once

// The program's own generator: a 32-bit linear congruential recurrence with draws in
// 0..32767, the same on every platform. Its state is 1 until seeded.
void seedRandom(unsigned seed);
int nextRandom();

// A random float in [lo, hi]: a draw of 0 gives exactly lo, 32767 exactly hi.
float randomBetween(float lo, float hi);

// The linear map of v from [inLo, inHi] onto [outLo, outHi], unclamped.
float mapRange(float v, float inLo, float inHi, float outLo, float outHi);

// Begins a move from the current centre toward a fresh target and arms one timer.
void startMove();

// Timer callback: advances the move by one tick and re-arms itself (value 1 only).
void moveTick(int value);
