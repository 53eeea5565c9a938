#pragma once
// How often the simulated exchange lets each transaction be asked: the
// broker's published per-TR limits (broker/TrLimits.h), one budget per
// transaction code and session.
//
// A request beyond its budget is refused the way the broker's API refuses
// it: Request returns kSimRateRefused and nothing is sent. The window is a
// sliding second: a transaction with budget n is refused when n requests of
// it went out in the 1000 ms before. Every continuation page spends one call.
//
// The chart transactions may also have a cap per 10 minutes (the users'
// reported 200 for t8412); the broker does not publish it, so it is off
// unless the settings ask for it.
#include "broker/TrLimits.h"
#include <QtGlobal>

// Request's result when the per-second budget (or the 10-minute cap) is spent.
inline constexpr int kSimRateRefused = -21;
inline constexpr int kSimRateWindowMs = 1000;
inline constexpr int kSimChartWindowMs = 10 * 60 * 1000;

