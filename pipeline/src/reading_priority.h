#pragma once

namespace pipeline {

// Lowers the calling reading thread's priority a little below the loop's. The loop stores every
// contact and, in the window, keeps it responsive: it is the one thread that cannot be helped by
// another, so a reader that wakes with work (its batch freed) must not take the loop's core. The
// readers then run on whatever the loop leaves, which on two cores is the other core. Best effort:
// where threads have no priority of their own, nothing changes.
void yieldToTheLoop();

}  // namespace pipeline
