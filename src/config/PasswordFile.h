#pragma once

#include <QByteArray>
#include <QString>

// The enroll password file "ADPW.CFG": one line of 8-bit text ending with CR LF, holding
// the password with leading and trailing blanks removed. An empty line or an empty file
// means that no password is required; only the first line counts. Pure.
namespace PasswordFile {

// Only the first line counts; a longer one than this is no password anybody typed.
inline constexpr qint64 kMaxBytes = 64 * 1024;

// The stored password: the first line of the file's bytes.
QString storedPassword(const QByteArray &fileBytes);

// The file's content for a password as the operator answered it.
QByteArray content(const QString &answer);

// The typed password opens enroll mode: equal to the stored one once blanks are trimmed
// from both, whatever the letter case.
bool accepts(const QString &stored, const QString &typed);

} // namespace PasswordFile
