// Waiting for the player to stop a program that serves: Ctrl+C, or closing
// its console window (Windows), SIGINT or SIGTERM (elsewhere). One source
// per platform, chosen by the build (platform/win/stop.cpp,
// platform/linux/stop.cpp).
#pragma once

// Called before any thread starts, so that the request reaches the waiter.
void ra_stop_prepare();

// Blocks, using no processor time, until the player asks to stop.
void ra_stop_wait();

// Says the program has finished stopping; a closed console window waits
// for this (a little while) before the system ends the process.
void ra_stop_done();
