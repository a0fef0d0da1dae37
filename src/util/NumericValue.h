#pragma once

#include <QString>

// The decimal number at the start of a text, as the operator types it: leading blanks are
// skipped, then an optional sign, digits and at most one decimal point are read; reading
// stops at the first other character. A text that does not start with a number gives 0.
// "12abc" -> 12, "  -3.5x" -> -3.5, "abc" -> 0, "" -> 0.
double numericValue(const QString &text);

// True when the numeric value of the text is a whole number (no fractional part).
bool isWholeNumber(double value);
