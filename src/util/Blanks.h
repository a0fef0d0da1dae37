#pragma once

#include <QString>

// Removes blanks (spaces only) from both ends, as the operator's texts and the padded
// columns of list entries are trimmed; tabs and other characters stay.
QString trimBlanks(const QString &text);
