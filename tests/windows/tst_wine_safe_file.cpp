// The station's file rules in their Windows form, on Wine's file system: a replace is whole
// and leaves no temporary file behind; nothing is written or read through a symbolic link, a
// folder or a second name of a file, and what such a name leads to stays as it was.
#include "platform/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace {

std::wstring native(const QString &path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

class WineSafeFileTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_folder;
    QTemporaryDir m_outside;

    QString name() const { return m_folder.filePath(QStringLiteral("USER0001.DAT")); }
    QString target() const { return m_outside.filePath(QStringLiteral("profile.ini")); }

    // What sits at the name: "folder", "symbolic link" (to a file outside) or "hard link"
    // (a second name of a file outside). False when the system cannot make it here.
    bool plant(const QString &kind, QString &why)
    {
        if (!writeFile(target(), "outside\r\n"))
            return why = QStringLiteral("cannot write the file outside"), false;
        BOOL made = FALSE;
        if (kind == QLatin1String("folder"))
            made = CreateDirectoryW(native(name()).c_str(), nullptr);
        else if (kind == QLatin1String("symbolic link"))
            made = CreateSymbolicLinkW(native(name()).c_str(), native(target()).c_str(),
                                       SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) != 0;
        else if (kind == QLatin1String("hard link"))
            made = CreateHardLinkW(native(name()).c_str(), native(target()).c_str(), nullptr);
        if (made && kind == QLatin1String("symbolic link")) {
            const DWORD attributes = GetFileAttributesW(native(name()).c_str());
            if (attributes == INVALID_FILE_ATTRIBUTES ||
                !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
                return why = QStringLiteral("this system reports a symbolic link made and "
                                            "makes none (Wine 8)"),
                       false;
        }
        if (!made)
            why = QStringLiteral("cannot make a %1 here (Windows error %2)")
                      .arg(kind)
                      .arg(GetLastError());
        return made;
    }

    QStringList leftovers() const
    {
        return QDir(m_folder.path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }

private slots:
    void init()
    {
        QVERIFY(m_folder.isValid());
        QVERIFY(m_outside.isValid());
        for (const QString &f : leftovers()) {
            QFile::remove(m_folder.filePath(f));
            QDir(m_folder.filePath(f)).removeRecursively();
            RemoveDirectoryW(native(m_folder.filePath(f)).c_str());
        }
        QFile::remove(target());
    }

    void replaceWritesTheWholeFileAndLeavesNothingElse_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("new file") << QByteArray() << QByteArray("\x00\x01\xff template", 12);
        QTest::newRow("longer file replaced") << QByteArray(5000, 'z') << QByteArray("short");
        QTest::newRow("emptied") << QByteArray("old") << QByteArray();
    }

    void replaceWritesTheWholeFileAndLeavesNothingElse()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, bytes);
        if (!before.isEmpty())
            QVERIFY(writeFile(name(), before));
        const SafeFile::Result result = SafeFile::replace(name(), bytes);
        QVERIFY2(result.ok, qPrintable(result.reason));
        QCOMPARE(contentOf(name()), bytes);
        QCOMPARE(leftovers(), QStringList{QStringLiteral("USER0001.DAT")});
        QCOMPARE(SafeFile::readRegular(name(), 1 << 20).value_or("<refused>"), bytes);
    }

    void appendCreatesWithTheHeaderThenAppends()
    {
        QVERIFY(SafeFile::append(name(), "HEADER\r\n", "one\r\n").ok);
        QVERIFY(SafeFile::append(name(), "HEADER\r\n", "two\r\n").ok);
        QCOMPARE(contentOf(name()), QByteArray("HEADER\r\none\r\ntwo\r\n"));
    }

    void aNameThatIsNotARegularFileIsNeverWrittenOrReadThrough_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("words");
        for (const char *op : {"replace", "append", "read"}) {
            QTest::addRow("folder, %s", op) << "folder" << op << "is a folder";
            QTest::addRow("symbolic link, %s", op) << "symbolic link" << op << "is a symbolic link";
        }
        QTest::addRow("hard link, append") << "hard link"
                                           << "append"
                                           << "has other names";
    }

    void aNameThatIsNotARegularFileIsNeverWrittenOrReadThrough()
    {
        QFETCH(QString, kind);
        QFETCH(QString, operation);
        QFETCH(QString, words);
        QString why;
        if (!plant(kind, why))
            QSKIP(qPrintable(why));
        QString reason;
        if (operation == QLatin1String("replace")) {
            const SafeFile::Result r = SafeFile::replace(name(), "planted?");
            QVERIFY(!r.ok);
            QVERIFY(r.refused);
            reason = r.reason;
        } else if (operation == QLatin1String("append")) {
            const SafeFile::Result r = SafeFile::append(name(), "H\r\n", "planted?");
            QVERIFY(!r.ok);
            QVERIFY(r.refused);
            reason = r.reason;
        } else {
            QVERIFY(!SafeFile::readRegular(name(), 1 << 20, &reason));
        }
        QVERIFY2(reason.contains(words), qPrintable(reason));
        QCOMPARE(contentOf(target()), QByteArray("outside\r\n"));
        // Only the name planted is there: no temporary file left beside it.
        QCOMPARE(leftovers(), QStringList{QStringLiteral("USER0001.DAT")});
    }

    // Removing a link removes the name; the file it leads to stays.
    void removeTakesTheLinkNeverItsTarget()
    {
        QString why;
        if (!plant(QStringLiteral("symbolic link"), why))
            QSKIP(qPrintable(why));
        QVERIFY(SafeFile::remove(name()).ok);
        QVERIFY(leftovers().isEmpty());
        QCOMPARE(contentOf(target()), QByteArray("outside\r\n"));
    }

    void readIsBounded()
    {
        QVERIFY(writeFile(name(), QByteArray(101, 'x')));
        QString reason;
        QVERIFY(!SafeFile::readRegular(name(), 100, &reason));
        QVERIFY2(reason.contains(QStringLiteral("larger than 100 bytes")), qPrintable(reason));
        QCOMPARE(SafeFile::readRegular(name(), 101).value_or("<refused>"), QByteArray(101, 'x'));
    }
};

QTEST_MAIN(WineSafeFileTest)
#include "tst_wine_safe_file.moc"
