#pragma once

#include <cstdint>

// Calendar arithmetic of the proleptic Gregorian calendar, exact for any day
// an int64 of days can hold; the chart's clock ticks and the recording reader
// and export count days with it.

// Rounds towards minus infinity, also below zero (instants before 1970).
int64_t FloorDiv(int64_t a, int64_t b);
// Days since 1970-01-01.
int64_t DaysFromCivil(int year, int month, int day);
void CivilFromDays(int64_t days, int& year, int& month, int& day);
int DaysInMonth(int year, int month);
