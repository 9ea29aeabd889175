#pragma once
// The current time in seconds since the epoch. When ZUBO_NOW holds a
// number, that number is the time, so runs can fix the clock.

namespace zubo::store {

long long now_seconds();

}  // namespace zubo::store
