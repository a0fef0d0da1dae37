#include "enroll/TemplateStore.h"

#include "platform/SafeFile.h"
#include "station/StationState.h"
#include "util/NumericValue.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace {

const QString kExtension = QStringLiteral(".DAT");

// Template files are written with ".DAT" in upper case; a folder copied from another machine
// may hold ".dat", which names the same template there, so the extension is compared
// ignoring case. The user text itself is compared exactly.
bool hasTemplateExtension(const QString &name)
{
    return name.endsWith(kExtension, Qt::CaseInsensitive);
}

bool isAllDigits(QStringView text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

// The user text, "-", a template number in digits, ".DAT": anything else in the folder
// (another user whose text only starts the same, "12-x.DAT") is not this user's template.
bool isTemplateOf(const QString &name, const QString &userText)
{
    const QString prefix = userText + u'-';
    if (!name.startsWith(prefix, Qt::CaseSensitive) || !hasTemplateExtension(name))
        return false;
    const qsizetype numberLength = name.size() - prefix.size() - kExtension.size();
    if (numberLength <= 0)
        return false;
    return isAllDigits(QStringView(name).mid(prefix.size(), numberLength));
}

// A file name made from this text would land outside the templates folder.
bool leavesFolder(const QString &userText)
{
    return userText.contains(u'/') || userText.contains(u'\\') || userText.contains(QChar(0));
}

// The user text of a name for the listing order, and its template number: the value of
// the digits after the first hyphen (0 when there are none).
struct ListingKey
{
    QStringView user;
    quint64 number = 0;
};

ListingKey listingKeyOf(const QString &name)
{
    ListingKey key;
    const qsizetype hyphen = name.indexOf(u'-');
    if (hyphen < 0) {
        key.user = QStringView(name);
        if (hasTemplateExtension(name))
            key.user.chop(kExtension.size());
        return key;
    }
    key.user = QStringView(name).left(hyphen);
    for (qsizetype i = hyphen + 1; i < name.size() && name[i] >= u'0' && name[i] <= u'9'; ++i) {
        const quint64 digit = name[i].unicode() - u'0';
        key.number =
            key.number > (~quint64(0) - digit) / 10 ? ~quint64(0) : key.number * 10 + digit;
    }
    return key;
}

QStringList inListingOrder(QStringList names)
{
    std::stable_sort(names.begin(), names.end(), &TemplateStore::listedBefore);
    return names;
}

} // namespace

bool TemplateStore::listedBefore(const QString &a, const QString &b)
{
    const ListingKey ka = listingKeyOf(a);
    const ListingKey kb = listingKeyOf(b);
    if (const int c = ka.user.compare(kb.user, Qt::CaseInsensitive); c != 0)
        return c < 0;
    if (const int c = ka.user.compare(kb.user, Qt::CaseSensitive); c != 0)
        return c < 0;
    if (ka.number != kb.number)
        return ka.number < kb.number;
    return a < b;
}

TemplateStore::TemplateStore(const StationState &state) : m_state(state) {}

QString TemplateStore::folder() const
{
    return m_state.templatesFolder();
}

QString TemplateStore::fileName(const QString &userText, int templateNumber)
{
    return userText + u'-' + QStringLiteral("%1").arg(templateNumber, 2, 10, QChar(u'0')) +
           kExtension;
}

QString TemplateStore::path(const QString &userText, int templateNumber) const
{
    return folder() + fileName(userText, templateNumber);
}

bool TemplateStore::write(const QString &userText, int templateNumber, const QByteArray &bytes,
                          SafeFile::Result *outcome)
{
    SafeFile::Result result;
    if (!folderExists())
        result.reason = QStringLiteral("the templates folder does not exist");
    else if (leavesFolder(userText))
        result.reason = QStringLiteral("the user number is not a file name");
    else
        // Written under a temporary name beside the old file and renamed over it when
        // complete: a write that stops half way leaves the old template as it was, and a
        // link planted at the name is refused, never written through.
        result = SafeFile::replace(path(userText, templateNumber), bytes);
    if (outcome)
        *outcome = result;
    return result.ok;
}

QStringList TemplateStore::list(const QString &userText) const
{
    QStringList names;
    for (const QString &name : folderFileNames()) {
        if (isTemplateOf(name, userText))
            names.append(name);
    }
    return inListingOrder(names);
}

QStringList TemplateStore::listAll() const
{
    QStringList names;
    for (const QString &name : folderFileNames()) {
        if (hasTemplateExtension(name))
            names.append(name);
    }
    return inListingOrder(names);
}

std::optional<QByteArray> TemplateStore::read(const QString &filePath, QString *reason) const
{
    // What goes out to the network is only ever the station's own regular file: a link in
    // the folder may point at any file the operator can read.
    return SafeFile::readRegular(filePath, kMaxReadBytes, reason);
}

int TemplateStore::removeUser(const QString &userText,
                              const std::function<void(const QString &)> &beforeEach)
{
    int removed = 0;
    for (const QString &name : list(userText)) {
        const QString filePath = folder() + name;
        if (beforeEach)
            beforeEach(filePath);
        // The name goes; a link's target is never touched.
        if (SafeFile::remove(filePath).ok)
            ++removed;
    }
    return removed;
}

QString TemplateStore::userOf(const QString &name)
{
    const qsizetype hyphen = name.indexOf(u'-');
    return hyphen < 0 ? name : name.left(hyphen);
}

int TemplateStore::templateNumberOf(const QString &name)
{
    const qsizetype hyphen = name.indexOf(u'-');
    if (hyphen < 0)
        return 0;
    return static_cast<int>(numericValue(name.mid(hyphen + 1, 2)));
}

bool TemplateStore::folderExists() const
{
    // An empty name is no folder; it must not fall back to the working directory.
    const QString dir = folder();
    return !dir.isEmpty() && QFileInfo(dir).isDir();
}

QStringList TemplateStore::folderFileNames() const
{
    if (!folderExists())
        return {};
    // System: a dangling link or a pipe at a template's name is listed too, so that deleting
    // the user removes it and sending it is refused with a log line, not passed over unseen.
    return QDir(folder()).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}
