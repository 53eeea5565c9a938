#include "core/AppState.h"

std::atomic<bool> GFormAlive{false};
