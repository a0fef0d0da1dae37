#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// A file's whole content, as tests write it and read it back.
namespace FileContent {

// "<missing>" for a file that cannot be read, so that a comparison says so.
inline QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

inline bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace FileContent
