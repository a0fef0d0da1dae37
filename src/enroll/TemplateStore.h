#pragma once

#include "platform/SafeFile.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class StationState;

// The template files: one file per template in the state's templates folder (shown in
// AFF_DIR_TEMPLATES), named user text + "-" + number with at least two digits + ".DAT",
// holding exactly the template's bytes. Every writer and reader goes through this class.
class TemplateStore : public QObject
{
    Q_OBJECT
public:
    explicit TemplateStore(const StationState &state);

    QString folder() const;                                               // ends with the separator
    static QString fileName(const QString &userText, int templateNumber); // "12345-01.DAT"
    QString path(const QString &userText, int templateNumber) const;

    // Replaces the file whole (written under a temporary name, then renamed over the old
    // one), readable and writable by the group only. False when the folder is missing or not
    // writable, or when the name is refused (a link or anything but a regular file: outcome
    // says so, with the reason); the old file (or the link) then stays as it was.
    bool write(const QString &userText, int templateNumber, const QByteArray &bytes,
               SafeFile::Result *outcome = nullptr);

    // Names (without folder) of the user's templates: exactly the user text, "-", the
    // template number in digits and ".DAT" (the extension in any letter case); never a
    // pattern built from the user text. In listing order.
    QStringList list(const QString &userText) const;
    // Names of every template file of the folder ("*.DAT", any letter case), in listing order.
    QStringList listAll() const;

    // Listing order: by user text, then by template number. User texts compare character
    // by character ignoring letter case, as a Windows folder listing does ("12" < "123" <
    // "9"); template numbers compare by value ("12-02" < "12-10" < "12-100"). Template 1 of
    // a user therefore always comes before the user's other templates, which a receiving
    // unit needs: template 1 starts a user's set afresh.
    static bool listedBefore(const QString &a, const QString &b);

    // A template file is never larger than this when read to be sent: far above any real
    // template (a few kilobytes), it keeps a planted huge file from being loaded whole.
    static constexpr qint64 kMaxReadBytes = 1024 * 1024;
    // The whole file, or nothing (with the reason) when it cannot be read, is a link or not
    // a regular file, or is larger than kMaxReadBytes.
    std::optional<QByteArray> read(const QString &filePath, QString *reason = nullptr) const;

    // Deletes every template file of the user (names only: a link goes, its target stays);
    // beforeEach is called with each full path
    // before it is removed. Returns the number of files removed.
    int removeUser(const QString &userText,
                   const std::function<void(const QString &)> &beforeEach = {});

    // Read back from a name: the text before the first hyphen, and the numeric value of
    // the two characters after it.
    static QString userOf(const QString &name);
    static int templateNumberOf(const QString &name);

private:
    bool folderExists() const;
    QStringList folderFileNames() const; // in no particular order

    const StationState &m_state;
};
