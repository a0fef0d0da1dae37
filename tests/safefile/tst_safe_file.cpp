#include "platform/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray kOutsideBytes("the outside file, which the station must never touch\n");

QByteArray everyByte()
{
    QByteArray bytes;
    for (int i = 0; i < 256; ++i)
        bytes.append(char(i));
    return bytes;
}

bool writePlain(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

mode_t modeOf(const QString &path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

// What a member of the group, or anybody with the folder's rights, may have left at a name.
enum class AtName {
    Nothing,
    RegularFile,
    LinkToOutsideFile,
    DanglingLink,
    LinkToFolder,
    Folder,
    Pipe,
    HardLinkToOutsideFile
};

// A folder of the station with one thing planted at NAME, and an outside folder it may
// point into.
struct Planted
{
    explicit Planted(AtName what)
    {
        QVERIFY(folder.isValid() && outside.isValid());
        QVERIFY(writePlain(outsideFile(), kOutsideBytes));
        const QByteArray at = QFile::encodeName(name());
        switch (what) {
        case AtName::Nothing:
            break;
        case AtName::RegularFile:
            QVERIFY(writePlain(name(), "old content"));
            QVERIFY(::chmod(at.constData(), 0644) == 0);
            break;
        case AtName::LinkToOutsideFile:
            QVERIFY(QFile::link(outsideFile(), name()));
            break;
        case AtName::DanglingLink:
            QVERIFY(QFile::link(outsideMissing(), name()));
            break;
        case AtName::LinkToFolder:
            QVERIFY(QFile::link(outside.path(), name()));
            break;
        case AtName::Folder:
            QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("NAME")));
            break;
        case AtName::Pipe:
            QVERIFY(::mkfifo(at.constData(), 0660) == 0);
            break;
        case AtName::HardLinkToOutsideFile:
            QVERIFY(::link(QFile::encodeName(outsideFile()).constData(), at.constData()) == 0);
            break;
        }
    }
    QString name() const { return folder.filePath(QStringLiteral("NAME")); }
    QString outsideFile() const { return outside.filePath(QStringLiteral("secret")); }
    QString outsideMissing() const { return outside.filePath(QStringLiteral("created")); }
    QStringList folderNames() const
    {
        return QDir(folder.path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }
    // Whatever was refused, nothing outside changed and nothing was left behind.
    void verifyOutsideUntouched() const
    {
        QCOMPARE(contentOf(outsideFile()), kOutsideBytes);
        QVERIFY(!QFileInfo::exists(outsideMissing()));
        QCOMPARE(
            QDir(outside.path())
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
            QStringList{QStringLiteral("secret")});
        QCOMPARE(folderNames(), QStringList{QStringLiteral("NAME")});
    }

    QTemporaryDir folder;
    QTemporaryDir outside;
};

// Sets the process umask for one test.
class Umask
{
public:
    explicit Umask(mode_t mask) : m_old(::umask(mask)) {}
    ~Umask() { ::umask(m_old); }

private:
    mode_t m_old;
};

} // namespace

Q_DECLARE_METATYPE(AtName)

class SafeFileTest : public QObject
{
    Q_OBJECT
private slots:
    void replaceWritesOnlyARegularFileAtTheName_data();
    void replaceWritesOnlyARegularFileAtTheName();
    void createdFilesAreTheGroupsWhateverTheUmask_data();
    void createdFilesAreTheGroupsWhateverTheUmask();
    void failedReplaceKeepsTheOldFile();
    void replaceInAMissingFolderFailsWithAReason();
    void appendNeverWritesThroughALink_data();
    void appendNeverWritesThroughALink();
    void readGivesOnlyARegularFileWithinTheBound_data();
    void readGivesOnlyARegularFileWithinTheBound();
    void removeTakesTheNameNeverTheTarget_data();
    void removeTakesTheNameNeverTheTarget();
};

void SafeFileTest::replaceWritesOnlyARegularFileAtTheName_data()
{
    QTest::addColumn<AtName>("atName");
    QTest::addColumn<bool>("written");
    QTest::newRow("nothing") << AtName::Nothing << true;
    QTest::newRow("a regular file") << AtName::RegularFile << true;
    QTest::newRow("a link to an outside file") << AtName::LinkToOutsideFile << false;
    QTest::newRow("a dangling link") << AtName::DanglingLink << false;
    QTest::newRow("a link to a folder") << AtName::LinkToFolder << false;
    QTest::newRow("a folder") << AtName::Folder << false;
    QTest::newRow("a pipe") << AtName::Pipe << false;
    // The rename gives the name a file of its own: the other name keeps the old bytes.
    QTest::newRow("a hard link to an outside file") << AtName::HardLinkToOutsideFile << true;
}

void SafeFileTest::replaceWritesOnlyARegularFileAtTheName()
{
    QFETCH(AtName, atName);
    QFETCH(bool, written);
    const Planted p(atName);
    const QFileInfo before(p.name());

    const SafeFile::Result result = SafeFile::replace(p.name(), everyByte());

    QCOMPARE(result.ok, written);
    QCOMPARE(result.refused, !written);
    QCOMPARE(result.reason.isEmpty(), written);
    p.verifyOutsideUntouched();
    const QFileInfo after(p.name());
    if (written) {
        QVERIFY(after.isFile() && !after.isSymLink());
        QCOMPARE(contentOf(p.name()), everyByte());
        QCOMPARE(modeOf(p.name()), mode_t(0660));
    } else {
        // The planted thing is still there, as it was.
        QCOMPARE(after.isSymLink(), before.isSymLink());
        QCOMPARE(after.isDir(), before.isDir());
        QVERIFY(!result.reason.isEmpty());
    }
}

void SafeFileTest::createdFilesAreTheGroupsWhateverTheUmask_data()
{
    QTest::addColumn<int>("umask");
    QTest::newRow("022 (Debian's default)") << 0022;
    QTest::newRow("077") << 0077;
    QTest::newRow("000") << 0000;
}

void SafeFileTest::createdFilesAreTheGroupsWhateverTheUmask()
{
    QFETCH(int, umask);
    QTemporaryDir dir;
    const Umask mask(mode_t(umask & 0777));
    const QString replaced = dir.filePath(QStringLiteral("Trelvane.cfg"));
    const QString appended = dir.filePath(QStringLiteral("Trelvane_01-02-2026.log"));
    QVERIFY(SafeFile::replace(replaced, "1\r\n").ok);
    QVERIFY(SafeFile::append(appended, "header\r\n", "line\r\n").ok);
    QCOMPARE(modeOf(replaced), mode_t(0660));
    QCOMPARE(modeOf(appended), mode_t(0660));
    // A private file gets exactly the mode asked for as well.
    const QString script = dir.filePath(QStringLiteral("script"));
    QVERIFY(SafeFile::replace(script, "#!/bin/sh\n", SafeFile::kPrivateMode).ok);
    QCOMPARE(modeOf(script), mode_t(0700));
}

void SafeFileTest::failedReplaceKeepsTheOldFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("7-01.DAT"));
    QVERIFY(writePlain(path, "old template"));
    // A file size limit makes the write fail part way, as a full disk does.
    struct rlimit old;
    QVERIFY(::getrlimit(RLIMIT_FSIZE, &old) == 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 1000;
    QVERIFY(::setrlimit(RLIMIT_FSIZE, &small) == 0);
    const SafeFile::Result result = SafeFile::replace(path, QByteArray(5000, 'x'));
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previousHandler);

    QVERIFY(!result.ok);
    QVERIFY(!result.refused);
    QVERIFY(!result.reason.isEmpty());
    QCOMPARE(contentOf(path), QByteArray("old template"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("7-01.DAT")});
}

void SafeFileTest::replaceInAMissingFolderFailsWithAReason()
{
    QTemporaryDir dir;
    const SafeFile::Result result =
        SafeFile::replace(dir.filePath(QStringLiteral("missing/Trelvane.cfg")), "x");
    QVERIFY(!result.ok);
    QVERIFY(!result.refused);
    QVERIFY(!result.reason.isEmpty());
}

void SafeFileTest::appendNeverWritesThroughALink_data()
{
    QTest::addColumn<AtName>("atName");
    QTest::addColumn<QByteArray>("content"); // empty: refused
    QTest::newRow("nothing: created with the header") << AtName::Nothing << QByteArray("HL");
    QTest::newRow("a regular file: appended") << AtName::RegularFile << QByteArray("old contentL");
    QTest::newRow("a link to an outside file") << AtName::LinkToOutsideFile << QByteArray();
    QTest::newRow("a dangling link") << AtName::DanglingLink << QByteArray();
    QTest::newRow("a link to a folder") << AtName::LinkToFolder << QByteArray();
    QTest::newRow("a folder") << AtName::Folder << QByteArray();
    QTest::newRow("a pipe nobody reads") << AtName::Pipe << QByteArray();
    QTest::newRow("a hard link to an outside file")
        << AtName::HardLinkToOutsideFile << QByteArray();
}

void SafeFileTest::appendNeverWritesThroughALink()
{
    QFETCH(AtName, atName);
    QFETCH(QByteArray, content);
    const Planted p(atName);

    const SafeFile::Result result = SafeFile::append(p.name(), "H", "L");

    QCOMPARE(result.ok, !content.isEmpty());
    QCOMPARE(result.refused, content.isEmpty());
    p.verifyOutsideUntouched();
    if (!content.isEmpty())
        QCOMPARE(contentOf(p.name()), content);
}

void SafeFileTest::readGivesOnlyARegularFileWithinTheBound_data()
{
    QTest::addColumn<AtName>("atName");
    QTest::addColumn<qint64>("bound");
    QTest::addColumn<bool>("read");
    QTest::newRow("a regular file") << AtName::RegularFile << qint64(11) << true;
    QTest::newRow("a regular file one byte over the bound")
        << AtName::RegularFile << qint64(10) << false;
    QTest::newRow("a link to an outside file")
        << AtName::LinkToOutsideFile << qint64(1000) << false;
    QTest::newRow("a dangling link") << AtName::DanglingLink << qint64(1000) << false;
    QTest::newRow("a folder") << AtName::Folder << qint64(1000) << false;
    QTest::newRow("a pipe nobody writes") << AtName::Pipe << qint64(1000) << false;
    QTest::newRow("nothing") << AtName::Nothing << qint64(1000) << false;
}

void SafeFileTest::readGivesOnlyARegularFileWithinTheBound()
{
    QFETCH(AtName, atName);
    QFETCH(qint64, bound);
    QFETCH(bool, read);
    const Planted p(atName);
    QString reason;

    const std::optional<QByteArray> bytes = SafeFile::readRegular(p.name(), bound, &reason);

    QCOMPARE(bytes.has_value(), read);
    QCOMPARE(reason.isEmpty(), read);
    if (read)
        QCOMPARE(*bytes, QByteArray("old content"));
}

void SafeFileTest::removeTakesTheNameNeverTheTarget_data()
{
    QTest::addColumn<AtName>("atName");
    QTest::addColumn<bool>("removed");
    QTest::newRow("a regular file") << AtName::RegularFile << true;
    QTest::newRow("a link to an outside file") << AtName::LinkToOutsideFile << true;
    QTest::newRow("a dangling link") << AtName::DanglingLink << true;
    QTest::newRow("a link to a folder") << AtName::LinkToFolder << true;
    QTest::newRow("a folder") << AtName::Folder << false;
}

void SafeFileTest::removeTakesTheNameNeverTheTarget()
{
    QFETCH(AtName, atName);
    QFETCH(bool, removed);
    const Planted p(atName);

    QCOMPARE(SafeFile::remove(p.name()).ok, removed);

    QCOMPARE(p.folderNames().isEmpty(), removed);
    QCOMPARE(contentOf(p.outsideFile()), kOutsideBytes);
    QVERIFY(QFileInfo(p.outside.path()).isDir());
}

QTEST_GUILESS_MAIN(SafeFileTest)
#include "tst_safe_file.moc"
