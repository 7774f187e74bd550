#pragma once

// What the tests know of the system they run on.

// True when the Windows build runs under Wine rather than on Windows. Where Wine's implementation of a
// Windows call behaves unlike Windows, a test of that call says so and leaves out the case under Wine.
bool RunningUnderWine();
