#pragma once

#include <QString>

// The system's own words for a Windows error code (GetLastError()), or "Windows error N"
// where it has none.
QString windowsErrorText(unsigned long code);
