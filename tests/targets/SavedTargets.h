#pragma once

#include <QFile>
#include <QStringList>

#include <optional>

namespace SavedTargets {

// The target lines of the configuration file at path (line 11 on), or nullopt when no file.
inline std::optional<QStringList> of(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QStringList lines = QString::fromLatin1(file.readAll()).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines.mid(10);
}

} // namespace SavedTargets
