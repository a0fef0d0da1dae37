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

// Why a typed address cannot name a target unit, in words for the operator; empty when it
// can. Blanks around it do not count. A target is a dotted quad of four numbers from 0 to
// 255, or "COM" in any letter case (optionally followed by a port number, "COM 3"), which
// stands for the source unit on the station's own link.
QString addressProblem(const QString &address);

} // namespace TargetEntry
