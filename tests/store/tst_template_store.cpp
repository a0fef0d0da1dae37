#include "enroll/TemplateStore.h"
#include "station/StationState.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

// The template files, written and read in a real temporary folder, with no window: the
// store needs only the state's templates folder.
class TemplateStoreTest : public QObject
{
    Q_OBJECT

private:
    struct StoreFixture
    {
        StoreFixture() { state.setTemplatesFolder(folder()); }
        QString folder() const { return dir.path() + u'/'; } // ends with "/"

        QTemporaryDir dir;
        StationState state;
        TemplateStore store{state};
    };

    static void putFile(const QString &path, const QByteArray &bytes)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(bytes), bytes.size());
    }
    static QByteArray fileBytes(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    static QStringList folderNames(const QString &folder)
    {
        return QDir(folder).entryList(
            QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
    }

private slots:
    void writingATemplateTwiceKeepsOneFileWithTheSecondTemplate()
    {
        StoreFixture f;
        TemplateStore &store = f.store;
        QVERIFY(store.write(QStringLiteral("12345"), 1, QByteArray(500, 'A')));
        QVERIFY(store.write(QStringLiteral("12345"), 1, QByteArray("second")));

        QCOMPARE(store.path(QStringLiteral("12345"), 1), f.folder() + "12345-01.DAT");
        QCOMPARE(fileBytes(f.folder() + "12345-01.DAT"), QByteArray("second"));
        QCOMPARE(store.listAll(), QStringList{"12345-01.DAT"});
        QCOMPARE(folderNames(f.folder()).filter(QStringLiteral("12345")),
                 QStringList{"12345-01.DAT"}); // no temporary file left behind
    }

    void everyByteValueSurvivesAWriteAndARead()
    {
        StoreFixture f;
        TemplateStore &store = f.store;
        QByteArray bytes;
        for (int value = 0; value < 256; ++value)
            bytes.append(char(value));
        bytes.append(QByteArray::fromHex("000a0d1a0d0a00ff1a"));
        QVERIFY(store.write(QStringLiteral("7"), 3, bytes));

        const QString path = f.folder() + "7-03.DAT";
        QCOMPARE(QFileInfo(path).size(), qint64(bytes.size()));
        QCOMPARE(store.read(path), std::optional<QByteArray>(bytes));
    }

    void readingAMissingFileGivesNothing()
    {
        StoreFixture f;
        QVERIFY(!f.store.read(f.folder() + "9-01.DAT").has_value());
    }

    void listingFindsOnlyTheWholeUserText_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("12345 not 123456") << "12345" << QStringList{"12345-01.DAT", "12345-02.DAT"};
        QTest::newRow("123456") << "123456" << QStringList{"123456-01.DAT"};
        QTest::newRow("12 not 123, not 12-x, extension in any case")
            << "12" << QStringList{"12-01.DAT", "12-03.dat"};
        QTest::newRow("123") << "123" << QStringList{"123-01.DAT"};
        QTest::newRow("leading zeros are another user") << "0042" << QStringList{"0042-01.DAT"};
        QTest::newRow("42") << "42" << QStringList{"42-01.DAT"};
        QTest::newRow("a star is no pattern") << "1*" << QStringList{};
        QTest::newRow("a question mark is no pattern") << "12?45" << QStringList{};
        QTest::newRow("no such user") << "1" << QStringList{};
    }
    void listingFindsOnlyTheWholeUserText()
    {
        QFETCH(QString, user);
        QFETCH(QStringList, expected);
        StoreFixture f;
        for (const char *name : {"12345-01.DAT", "12345-02.DAT", "123456-01.DAT", "12-01.DAT",
                                 "12-03.dat", "12-ab.DAT", "12--01.DAT", "12-01.DAT.bak",
                                 "123-01.DAT", "0042-01.DAT", "42-01.DAT", "Trelvane.cfg"})
            putFile(f.folder() + name, "x");
        QDir(f.folder()).mkdir(QStringLiteral("12-02.DAT")); // a folder is no template

        QCOMPARE(f.store.list(user), expected);
    }

    void listingAllFindsEveryTemplateFile()
    {
        StoreFixture f;
        for (const char *name : {"1-01.DAT", "2-01.dat", "2-01.txt", "Trelvane.cfg"})
            putFile(f.folder() + name, "x");
        QCOMPARE(f.store.listAll(), (QStringList{"1-01.DAT", "2-01.dat"}));
    }

    void namesAreBuiltAndReadBack_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("numberReadBack");
        QTest::newRow("first") << "12345" << 1 << "12345-01.DAT" << 1;
        QTest::newRow("ninth") << "7" << 9 << "7-09.DAT" << 9;
        QTest::newRow("99th") << "7" << 99 << "7-99.DAT" << 99;
        QTest::newRow("100th reads back as 10") << "7" << 100 << "7-100.DAT" << 10;
        QTest::newRow("leading zeros kept") << "0042" << 1 << "0042-01.DAT" << 1;
    }
    void namesAreBuiltAndReadBack()
    {
        QFETCH(QString, user);
        QFETCH(int, number);
        QFETCH(QString, name);
        QFETCH(int, numberReadBack);
        QCOMPARE(TemplateStore::fileName(user, number), name);
        QCOMPARE(TemplateStore::userOf(name), user);
        QCOMPARE(TemplateStore::templateNumberOf(name), numberReadBack);
    }

    void aMissingFolderRefusesWritesAndListsNothing_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::newRow("absent") << "absent/";
        QTest::newRow("no caption") << QString();
    }
    void aMissingFolderRefusesWritesAndListsNothing()
    {
        QFETCH(QString, folder);
        StoreFixture f;
        putFile(f.folder() + "5-01.DAT", "old");
        f.state.setTemplatesFolder(folder.isEmpty() ? QString() : f.folder() + folder);
        TemplateStore &store = f.store;

        QVERIFY(!store.write(QStringLiteral("5"), 1, "new"));
        QVERIFY(store.list(QStringLiteral("5")).isEmpty());
        QVERIFY(store.listAll().isEmpty());
        QCOMPARE(store.removeUser(QStringLiteral("5")), 0);
        if (!folder.isEmpty())
            QVERIFY(!QFileInfo::exists(f.folder() + folder));
        QVERIFY(!QFileInfo::exists(QStringLiteral("5-01.DAT"))); // not in the working folder
        QCOMPARE(fileBytes(f.folder() + "5-01.DAT"), QByteArray("old"));
    }

    void aFolderPathThatIsAFileRefusesWrites()
    {
        StoreFixture f;
        putFile(f.folder() + "notafolder", "keep");
        f.state.setTemplatesFolder(f.folder() + "notafolder/");

        QVERIFY(!f.store.write(QStringLiteral("5"), 1, "new"));
        QVERIFY(f.store.listAll().isEmpty());
        QCOMPARE(fileBytes(f.folder() + "notafolder"), QByteArray("keep"));
    }

    void aWriteThatCannotCompleteLeavesTheOldTemplateWhole_data()
    {
        QTest::addColumn<int>("limit");
        QTest::addColumn<int>("size");
        QTest::newRow("larger than the write buffer") << 1024 << 64 * 1024;
        QTest::newRow("smaller than the write buffer") << 100 << 300;
    }
    void aWriteThatCannotCompleteLeavesTheOldTemplateWhole()
    {
        QFETCH(int, limit);
        QFETCH(int, size);
        StoreFixture f;
        TemplateStore &store = f.store;
        QVERIFY(store.write(QStringLiteral("8"), 1, "old template"));

        // Files may not grow beyond the limit while the new template is written: the
        // temporary file cannot be completed, so it must never be renamed over the old one.
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit previous{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &previous), 0);
        rlimit small = previous;
        small.rlim_cur = rlim_t(limit);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        const bool written = store.write(QStringLiteral("8"), 1, QByteArray(size, '\x5a'));
        setrlimit(RLIMIT_FSIZE, &previous);
        std::signal(SIGXFSZ, previousHandler);

        QVERIFY(!written);
        QCOMPARE(fileBytes(f.folder() + "8-01.DAT"), QByteArray("old template"));
        QCOMPARE(folderNames(f.folder()).filter(QStringLiteral("8-")), QStringList{"8-01.DAT"});
    }

    void aTemplateNameTakenByAFolderIsNotReplaced()
    {
        StoreFixture f;
        QVERIFY(QDir(f.folder()).mkpath(QStringLiteral("9-01.DAT/inside")));
        QVERIFY(!f.store.write(QStringLiteral("9"), 1, "new"));
        QVERIFY(QFileInfo(f.folder() + "9-01.DAT/inside").isDir());
        QCOMPARE(folderNames(f.folder()).filter(QStringLiteral("9-")), QStringList{"9-01.DAT"});
    }

    void aUserTextWithASeparatorIsNeverWrittenOutsideTheFolder_data()
    {
        QTest::addColumn<QString>("user");
        QTest::newRow("parent") << "../12";
        QTest::newRow("slash") << "a/b";
        QTest::newRow("backslash") << "a\\b";
    }
    void aUserTextWithASeparatorIsNeverWrittenOutsideTheFolder()
    {
        QFETCH(QString, user);
        StoreFixture f;
        QVERIFY(QDir(f.folder()).mkdir(QStringLiteral("a")));
        const QString inner = f.folder() + "inner/";
        QVERIFY(QDir().mkpath(inner));
        f.state.setTemplatesFolder(inner);
        const QStringList before = folderNames(f.folder());

        QVERIFY(!f.store.write(user, 1, "x"));
        QCOMPARE(folderNames(f.folder()), before);
        QVERIFY(folderNames(inner).isEmpty());
        QVERIFY(folderNames(f.folder() + "a").isEmpty());
    }

    void removingUser12KeepsUser123AndReportsEachPath()
    {
        StoreFixture f;
        TemplateStore &store = f.store;
        for (const char *name : {"12-01.DAT", "12-02.DAT", "123-01.DAT", "1-01.DAT"})
            putFile(f.folder() + name, "x");

        QStringList reported;
        QCOMPARE(store.removeUser(QStringLiteral("12"),
                                  [&](const QString &path) { reported.append(path); }),
                 2);
        QCOMPARE(reported, (QStringList{f.folder() + "12-01.DAT", f.folder() + "12-02.DAT"}));
        QCOMPARE(store.listAll(), (QStringList{"1-01.DAT", "123-01.DAT"}));
        QCOMPARE(store.removeUser(QStringLiteral("1*")), 0);
        QCOMPARE(store.listAll(), (QStringList{"1-01.DAT", "123-01.DAT"}));
    }
};

QTEST_GUILESS_MAIN(TemplateStoreTest)
#include "tst_template_store.moc"
