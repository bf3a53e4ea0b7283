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

// Begins a move from the current centre toward a fresh target, and starts one more chain of
// ticks, every 20 ms from now.
void startMove();

// For all the chains (value 1 only): takes every tick they have come due for since last time.
// Called as each frame begins and by each press: between frames nobody sees the sphere, so no
// timer need wake the program for a tick.
void moveTick(int value);

// Advances the move by that many ticks, as many ticks one by one would: each adds 20 ms of
// progress, and each move that ends lands on its target and draws the next.
void advanceMove(long long ticks);
