#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The station's own files in its folders (templates, configuration, password, daily log, ping
// script) are written, read and deleted only through these functions. The folders are shared
// by the members of the station's group, so anything found at a name may have been planted:
// no function here writes or reads through a symbolic link, or writes to anything but a
// regular file, and every file they create is the group's (0660 whatever the umask).
namespace SafeFile {

// What came of a write or a delete: ok, or the reason, ready to be shown after a path.
struct Result
{
    bool ok = false;
    QString reason; // empty when ok
    // True when the name itself was refused (a link, a folder, a device...), not when the
    // disk failed: the caller tells the operator that something sits at the name.
    bool refused = false;

    explicit operator bool() const { return ok; }
};

// The mode of every file the station creates in its folders: the group shares them, other
// accounts read nothing.
constexpr unsigned kGroupMode = 0660;
// A file only this account may read, write or run.
constexpr unsigned kPrivateMode = 0700;

// Replaces the file at path whole, or creates it: the bytes go to a new file in the same
// folder, which is flushed to the disk and then renamed over the name. A link at the name
// is refused, not followed (and were one planted between the check and the rename, the
// rename would replace the link itself, never its target); so is a folder, a pipe or any
// other name that is not a regular file. A failed write leaves the old file as it was.
Result replace(const QString &path, const QByteArray &bytes, unsigned mode = kGroupMode);

// Appends bytes to the regular file at path, creating it when missing; a file it creates
// gets header in front of the bytes (a daily log starts with one). A link at the name, or a
// file that also has a name elsewhere (a hard link), is refused.
Result append(const QString &path, const QByteArray &header, const QByteArray &bytes);

// The whole regular file at path, opened without following a link; nothing when the name is
// a link, not a regular file, larger than maxBytes or unreadable (reason says which).
std::optional<QByteArray> readRegular(const QString &path, qint64 maxBytes,
                                      QString *reason = nullptr);

// Removes the name. A link is removed itself; what it points to is never touched.
Result remove(const QString &path);

} // namespace SafeFile
