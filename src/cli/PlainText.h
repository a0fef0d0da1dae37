#pragma once

#include <QString>

// A text from outside (a unit's bytes, a file name, the operator's argument) made safe to
// print on a terminal: control characters, which could move the cursor, clear the screen or
// retitle the window, are shown as \xNN; everything printable stays as it is.
QString plainText(const QString &text);
