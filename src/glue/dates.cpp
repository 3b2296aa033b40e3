#include "glue/dates.h"

#include <cmath>

namespace zun {
namespace {

// Days from 1970-01-01 to the civil date (proleptic Gregorian calendar).
long long DaysFromCivil(long long year, unsigned month, unsigned day) {
  year -= month <= 2;
  const long long era = (year >= 0 ? year : year - 399) / 400;
  const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
  const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + static_cast<long long>(dayOfEra) - 719468;
}

const long long kAutomationEpoch = DaysFromCivil(1899, 12, 30);

}  // namespace

double ToAutomationDate(std::time_t time) {
  std::tm local{};
  localtime_r(&time, &local);
  const long long days = DaysFromCivil(local.tm_year + 1900LL, static_cast<unsigned>(local.tm_mon + 1),
                                       static_cast<unsigned>(local.tm_mday)) -
                         kAutomationEpoch;
  const int seconds = local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
  return static_cast<double>(days) + seconds / 86400.0;
}

bool IsPlausibleDate(double date) {
  constexpr double kFirst = -657434.0;  // 0100-01-01
  constexpr double kEnd = 2958466.0;    // 10000-01-01
  return std::isfinite(date) && date >= kFirst && date < kEnd;
}

long long SecondsBetween(double stamp, std::time_t time) {
  return std::llround((ToAutomationDate(time) - stamp) * 86400.0);
}

}  // namespace zun
