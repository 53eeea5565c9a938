#pragma once
// Process-wide state that outlives no window.
#include <atomic>

// True from the moment the main window is fully built until the first step of
// its destruction. Background completions (service fetches) check it on the UI
// thread and drop their result when it is false.
extern std::atomic<bool> GFormAlive;
