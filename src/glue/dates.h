// Automation dates: days since 1899-12-30 00:00 local time, the fraction being the time of day.
#pragma once
#include <ctime>

namespace zun {

double ToAutomationDate(std::time_t time);
// A finite date from the year 100 to 9999: the range of automation dates.
bool IsPlausibleDate(double date);
// Whole seconds from the automation date `stamp` to `time`, both read as local time.
long long SecondsBetween(double stamp, std::time_t time);

}  // namespace zun
