#pragma once

#include <QString>

// One entry of the target unit list: the address as typed, blanks up to column 17, the
// description as typed. Pure.
namespace TargetEntry {

// Width of the address column of an entry.
inline constexpr int kAddressWidth = 17;

// The entry text. An address of 17 characters or more gets no blanks (the list's handlers
// refuse longer ones).
QString text(const QString &address, const QString &description);
// The first 17 characters, blanks trimmed.
QString addressOf(const QString &entry);
// Everything from character 18 on, blanks trimmed.
QString descriptionOf(const QString &entry);

} // namespace TargetEntry
