#pragma once
// The schedule's periods, in seconds: how far ahead each flag's setter arms its deadline. The
// tick waits no longer than the period for a deadline (one armed on a clock that has since been
// set back is brought back to one period from now).
#include "lib/DateTime.h"

//                                                  flag                    deadline
inline constexpr int recalcSeconds = 60;         // doRecalc                recalcDeadline
inline constexpr int offsetRetrySeconds = 60;    // doBrowserRetryOffset    offsetRetryDeadline
inline constexpr int browserRetrySeconds = 120;  // doBrowserRetry          browserRetryDeadline
inline constexpr int dispatchSeconds = 4 * 60;   // doDispatchLaunchCheck   dispatchDeadline
inline constexpr int ebaySyncSeconds = 60 * 60;  // doEbaySync              ebaySyncDeadline
// doRefreshLVShowAll arms refreshDeadline the user's refresh interval on (refreshIntervalSeconds);
// seekingRefreshData and dynaWaiting have no deadline.

// The official-time retry's deadline as the tick arms it when it finds it unarmed: 90 seconds
// on, not the setter's 60; nor does the tick let it lie further ahead than that.
inline constexpr int offsetRetryUnarmedSeconds = 90;

// A period as a span of date-time (days).
constexpr double periodDays(int seconds) { return seconds * OneSecond; }
