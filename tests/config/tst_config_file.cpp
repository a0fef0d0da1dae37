#include "config/ConfigFile.h"
#include "support/FileContent.h"
#include "support/FreePort.h"
#include "support/HeadlessStationFixture.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <QUdpSocket>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

namespace {

const QByteArray CRLF = QByteArrayLiteral("\r\n");

QByteArray joined(const QList<QByteArray> &lines, const QByteArray &end = CRLF)
{
    QByteArray bytes;
    for (const QByteArray &line : lines)
        bytes += line + end;
    return bytes;
}

// The ten fixed lines, then the targets.
QByteArray configLines(const QByteArray &port, const QByteArray &mode, const QByteArray &prefix,
                       const QByteArray &suffix, const QByteArray &templates,
                       const QList<QByteArray> &targets = {}, const QByteArray &end = CRLF)
{
    return joined(QList<QByteArray>{port, mode, prefix, suffix, templates, "", "", "", "", ""} +
                      targets,
                  end);
}

using FileContent::readAll;
using FileContent::writeAll;

QStringList entries(const StationState &state)
{
    QStringList texts;
    for (const TargetUnit &target : state.targets())
        texts << target.line;
    return texts;
}

bool allTicked(const StationState &state)
{
    for (const TargetUnit &target : state.targets())
        if (!target.ticked)
            return false;
    return true;
}

// Keeps this process from writing files larger than a few bytes until destroyed: a disk
// that fills up in the middle of a save, which permission bits cannot imitate for root.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN); // a failed write, not a dead process
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        m_active = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    bool active() const { return m_active; }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
    bool m_active = false;
};

} // namespace

class ConfigFileTest : public QObject
{
    Q_OBJECT
private slots:
    void loadingFillsTheControlsSanely_data();
    void loadingFillsTheControlsSanely();
    void targetLinesBeyondTheLimitAreIgnored();
    void noFileKeepsTheDefaultsAndTheFirstSaveWritesTenLines();
    void saveWritesEveryLineAndLoadingItBackGivesTheSameWindow();
    void saveWhileLoadingWritesNothing();
    void failedSaveKeepsThePreviousFileAndReportsOnce_data();
    void failedSaveKeepsThePreviousFileAndReportsOnce();
    void editingTheTemplatesFolderChecksTheAnswerAndSaves_data();
    void editingTheTemplatesFolderChecksTheAnswerAndSaves();
    void settingsTypedInAnyScriptSurviveARestart_data();
    void settingsTypedInAnyScriptSurviveARestart();
    void fileFromAnEditorOrAnOlderStationLoads_data();
    void fileFromAnEditorOrAnOlderStationLoads();
    void everySettingIsInPlaceBeforeTheModeSwitchActs();
};

void ConfigFileTest::loadingFillsTheControlsSanely_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("port");
    QTest::addColumn<bool>("readMode");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QString>("templates"); // <tpl>: an existing folder, <cfg>: the config one
    QTest::addColumn<QStringList>("targets");

    const QStringList none;
    QTest::newRow("complete file")
        << configLines("3", " 1 ", "<", "{TAB}", "<tpl>/", {"10.0.0.1         door", "10.0.0.2"})
        << "3" << true << "<"
        << "{TAB}"
        << "<tpl>/" << QStringList{"10.0.0.1         door", "10.0.0.2"};
    QTest::newRow("templates folder without separator gets one")
        << configLines("3", " 0 ", "", "{ENTER}", "<tpl>") << "3" << false << ""
        << "{ENTER}"
        << "<tpl>/" << none;

    QTest::newRow("port COM3 is 0") << configLines("COM3", " 0 ", "", "", "") << "0" << false << ""
                                    << ""
                                    << "<cfg>" << none;
    QTest::newRow("port after blanks")
        << configLines("  4", " 0 ", "", "", "") << "4" << false << ""
        << ""
        << "<cfg>" << none;
    QTest::newRow("port abc") << configLines("abc", "0", "", "", "") << "0" << false << ""
                              << ""
                              << "<cfg>" << none;
    QTest::newRow("port -3") << configLines("-3", "0", "", "", "") << "-3" << false << ""
                             << ""
                             << "<cfg>" << none;
    QTest::newRow("port 99999999")
        << configLines("99999999", "0", "", "", "") << "99999999" << false << ""
        << ""
        << "<cfg>" << none;

    for (const char *mode : {"1", " 1", "1 ", " 1 "})
        QTest::addRow("mode '%s' is read mode", mode)
            << configLines("1", mode, "", "", "") << "1" << true << ""
            << ""
            << "<cfg>" << none;
    for (const char *mode : {"0", "2", "x", ""})
        QTest::addRow("mode '%s' is enroll mode", mode)
            << configLines("1", mode, "", "", "") << "1" << false << ""
            << ""
            << "<cfg>" << none;

    for (const char *end : {"\n", "\r"})
        QTest::addRow("lines ended by %s", end[0] == '\n' ? "LF" : "CR")
            << configLines("2", "1", "pre", "suf", "<tpl>/", {"a", "b"}, end) << "2" << true
            << "pre"
            << "suf"
            << "<tpl>/" << QStringList{"a", "b"};
    QTest::newRow("mixed line ends")
        << QByteArray("2\r 1 \npre\r\nsuf\n\r\r\n\n\r\r\n\na\rb") << "2" << true << "pre"
        << "suf"
        << "<cfg>" << QStringList{"a", "b"};

    QByteArray binary;
    for (int byte = 0; byte < 256; ++byte)
        if (byte != '\r' && byte != '\n')
            binary += char(byte);
    QTest::newRow("binary prefix and target")
        << configLines("1", "0", binary, "suf", "", {binary}) << "1" << false
        << QString::fromLatin1(binary) << "suf"
        << "<cfg>" << QStringList{QString::fromLatin1(binary)};
    QTest::newRow("binary templates folder")
        << configLines("1", "0", "", "", binary) << "1" << false << ""
        << ""
        << "<cfg>" << none;

    // A line is read up to its limit, the prefix's as the targets'.
    QTest::newRow("100 KB lines are cut, later lines still read")
        << configLines("6", " 1 ", QByteArray(100000, 'p'), "S", "<tpl>/",
                       {QByteArray(100000, 't'), "after"})
        << "6" << true << "<as much as a line holds>"
        << "S"
        << "<tpl>/" << QStringList{QString(ConfigFile::kMaxLineBytes, QLatin1Char('t')), "after"};

    QTest::newRow("only line 1") << QByteArray("5\r\n") << "5" << false << ""
                                 << "{ENTER}"
                                 << "<cfg>" << none;
    QTest::newRow("only line 1 without line end") << QByteArray("5") << "5" << false << ""
                                                  << "{ENTER}"
                                                  << "<cfg>" << none;
    QTest::newRow("empty file") << QByteArray() << "0" << false << ""
                                << "{ENTER}"
                                << "<cfg>" << none;
    QTest::newRow("removed templates folder")
        << configLines("1", "0", "", "", "<gone>/") << "1" << false << ""
        << ""
        << "<cfg>" << none;
    QTest::newRow("relative templates folder")
        << configLines("1", "0", "", "", ".") << "1" << false << ""
        << ""
        << "<cfg>" << none;
    QTest::newRow("blank templates folder")
        << configLines("1", "0", "", "", "   ") << "1" << false << ""
        << ""
        << "<cfg>" << none;
    QTest::newRow("reserved lines ignored")
        << joined({"1", "0", "", "", "", "x", "y", "z", "6.6.6.6", "junk", "10.0.0.5"}) << "1"
        << false << ""
        << ""
        << "<cfg>" << QStringList{"10.0.0.5"};
    QTest::newRow("last target without line end")
        << configLines("1", "0", "", "", "", {"10.0.0.8"}) + "10.0.0.9"
        << "1" << false << ""
        << ""
        << "<cfg>" << QStringList{"10.0.0.8", "10.0.0.9"};
}

void ConfigFileTest::loadingFillsTheControlsSanely()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, port);
    QFETCH(bool, readMode);
    QFETCH(QString, prefix);
    QFETCH(QString, suffix);
    QFETCH(QString, templates);
    QFETCH(QStringList, targets);

    HeadlessStationFixture f(freeUdpPort());
    const QString tpl = f.folder() + QStringLiteral("templates");
    const QString gone = f.folder() + QStringLiteral("gone");
    QVERIFY(QDir().mkdir(tpl));
    QVERIFY(QDir().mkdir(gone));
    QVERIFY(QDir().rmdir(gone));
    file.replace("<tpl>", tpl.toLatin1()).replace("<gone>", gone.toLatin1());
    const QString cfgPath = f.station().configFile().filePath();
    QVERIFY(writeAll(cfgPath, file));

    f.station().configFile().LOAD_CFG();

    QCOMPARE(f.state().ID_LOAD_CFG, 0);
    QCOMPARE(f.state().serialPort(), port);
    QCOMPARE(f.state().readMode(), readMode);
    QCOMPARE(f.state().enrollMode(), !readMode);
    if (prefix == QLatin1String("<as much as a line holds>"))
        prefix = QString(ConfigFile::kMaxLineBytes, QLatin1Char('p'));
    QCOMPARE(f.state().prefix(), prefix);
    QCOMPARE(f.state().suffix(), suffix);
    templates.replace(QStringLiteral("<tpl>"), tpl).replace(QStringLiteral("<cfg>/"), f.folder());
    templates.replace(QStringLiteral("<cfg>"), f.folder());
    QCOMPARE(f.state().templatesFolder(), templates);
    QCOMPARE(entries(f.state()), targets);
    QVERIFY(allTicked(f.state()));
    // Filling the controls asked for saves; none of them touched the file.
    QCOMPARE(readAll(cfgPath), file);
    QCOMPARE(f.dialogs.shown().size(), 0);
}

void ConfigFileTest::targetLinesBeyondTheLimitAreIgnored()
{
    HeadlessStationFixture f(freeUdpPort());
    QList<QByteArray> targets;
    for (int i = 0; i < ConfigFile::kMaxTargets + 25; ++i)
        targets << "10.1." + QByteArray::number(i / 250) + "." + QByteArray::number(i % 250);
    QVERIFY(
        writeAll(f.station().configFile().filePath(), configLines("1", "0", "", "", "", targets)));

    f.station().configFile().LOAD_CFG();

    QCOMPARE(f.state().targets().size(), ConfigFile::kMaxTargets);
    QCOMPARE(f.state().targets()[ConfigFile::kMaxTargets - 1].line,
             QString::fromLatin1(targets[ConfigFile::kMaxTargets - 1]));
}

void ConfigFileTest::noFileKeepsTheDefaultsAndTheFirstSaveWritesTenLines()
{
    HeadlessStationFixture f(freeUdpPort());
    f.state().setTemplatesFolder(QStringLiteral("elsewhere"));

    f.station().configFile().LOAD_CFG();

    QVERIFY(f.state().enrollMode());
    QCOMPARE(f.state().templatesFolder(), f.folder());
    QCOMPARE(f.state().serialPort(), QStringLiteral("0"));
    QVERIFY(!QFile::exists(f.station().configFile().filePath()));

    QVERIFY(f.station().configFile().B_SAVE_CFG_Click());
    QCOMPARE(readAll(f.station().configFile().filePath()),
             configLines("0", " 0 ", "", "{ENTER}", f.folder().toLatin1()));
}

void ConfigFileTest::saveWritesEveryLineAndLoadingItBackGivesTheSameWindow()
{
    HeadlessStationFixture f(freeUdpPort());
    const QByteArray folder = f.folder().toLatin1();
    // Lines 6 to 10 hold something; the save writes them back empty.
    QVERIFY(writeAll(f.station().configFile().filePath(),
                     joined({"7", "1", "<", "{ENTER}", folder, "a", "b", "c", "d", "e",
                             "10.0.0.1         door \xe9", "10.0.0.2"})));
    f.station().configFile().LOAD_CFG();
    f.state().setTargetTicked(1, false); // ticks are not saved

    QVERIFY(f.station().configFile().B_SAVE_CFG_Click());
    // The entry read from an older station's Latin-1 line is written back in the system's
    // character set (UTF-8 here).
    const QByteArray expected = configLines("7", " 1 ", "<", "{ENTER}", folder,
                                            {"10.0.0.1         door \xc3\xa9", "10.0.0.2"});
    QCOMPARE(readAll(f.station().configFile().filePath()), expected);

    HeadlessStationFixture g(freeUdpPort());
    QVERIFY(QFile::copy(f.station().configFile().filePath(), g.station().configFile().filePath()));
    g.station().configFile().LOAD_CFG();
    QCOMPARE(g.state().serialPort(), QStringLiteral("7"));
    QVERIFY(g.state().readMode());
    QCOMPARE(entries(g.state()), entries(f.state()));
    QVERIFY(allTicked(g.state()));
    QCOMPARE(g.state().templatesFolder(), f.folder());
}

void ConfigFileTest::saveWhileLoadingWritesNothing()
{
    HeadlessStationFixture f(freeUdpPort());
    f.state().setSerialPort(QStringLiteral("9"));
    const QByteArray old = configLines("3", " 0 ", "", "", "");
    QVERIFY(writeAll(f.station().configFile().filePath(), old));

    f.state().ID_LOAD_CFG = StationState::True;
    QVERIFY(!f.station().configFile().B_SAVE_CFG_Click());
    f.state().ID_LOAD_CFG = 0;

    QCOMPARE(readAll(f.station().configFile().filePath()), old);
    QCOMPARE(f.dialogs.shown().size(), 0);
    QCOMPARE(f.dialogs.beeps(), 0);
}

void ConfigFileTest::failedSaveKeepsThePreviousFileAndReportsOnce_data()
{
    QTest::addColumn<QString>("failure");
    QTest::newRow("read-only folder") << "read-only";
    QTest::newRow("disk full in the middle of the write") << "size-limit";
}

void ConfigFileTest::failedSaveKeepsThePreviousFileAndReportsOnce()
{
    QFETCH(QString, failure);
    HeadlessStationFixture f(freeUdpPort());
    const QString path = f.station().configFile().filePath();
    f.state().setSerialPort(QStringLiteral("4"));
    f.state().setPrefix(QString(200, QLatin1Char('n')));
    const QByteArray old = configLines("3", " 0 ", "old prefix", "", "", {"10.0.0.1"});
    QVERIFY(writeAll(path, old));

    bool saved = true;
    if (failure == QLatin1String("read-only")) {
        if (geteuid() == 0)
            QSKIP("Running as root: permission bits do not stop root's writes (the size-limit "
                  "row covers the failed write).");
        QFile::setPermissions(f.folder(), QFile::ReadOwner | QFile::ExeOwner);
        saved = f.station().configFile().B_SAVE_CFG_Click();
        QFile::setPermissions(f.folder(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    } else {
        FileSizeLimit limit(old.size() + 10);
        QVERIFY(limit.active());
        saved = f.station().configFile().B_SAVE_CFG_Click();
    }

    QVERIFY(!saved);
    QCOMPARE(readAll(path), old);
    QCOMPARE(QDir(f.folder()).entryList(QDir::Files), QStringList{ConfigFile::kFileName});
    QCOMPARE(f.dialogs.shown().size(), 1);
    const auto &box = f.dialogs.shown().first();
    QCOMPARE(box.text,
             QStringLiteral("Unable to write the configuration to directory: ") + f.folder());
    QCOMPARE(box.title, QStringLiteral("Error to write the configuration"));
    QCOMPARE(box.icon, Dialogs::Icon::Critical);
    QCOMPARE(box.beepsBefore, 2);
}

void ConfigFileTest::editingTheTemplatesFolderChecksTheAnswerAndSaves_data()
{
    QTest::addColumn<QString>("answer"); // <tpl>: an existing folder, without separator
    QTest::addColumn<QString>("folder"); // expected caption; <cfg>: the configuration folder
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<bool>("saved");

    const QString missing = QStringLiteral("This directory does not exist !");
    const QString absolute =
        QStringLiteral("The directory must be an absolute path (Example /home/operator/MY_DIR...)");
    QTest::newRow("existing folder gets the separator") << "<tpl>"
                                                        << "<tpl>/" << QStringList() << true;
    QTest::newRow("blanks around are trimmed") << "  <tpl>/  "
                                               << "<tpl>/" << QStringList() << true;
    QTest::newRow("cancel changes nothing") << ""
                                            << "<cfg>" << QStringList() << false;
    QTest::newRow("only blanks change nothing") << "   "
                                                << "<cfg>" << QStringList() << false;
    QTest::newRow("missing folder") << "/no/such/folder"
                                    << "<cfg>" << QStringList{missing} << true;
    QTest::newRow("relative existing folder") << "DATA"
                                              << "<cfg>" << QStringList{absolute} << true;
    QTest::newRow("relative missing folder") << "NOPE"
                                             << "<cfg>" << QStringList{missing, absolute} << true;
}

void ConfigFileTest::editingTheTemplatesFolderChecksTheAnswerAndSaves()
{
    QFETCH(QString, answer);
    QFETCH(QString, folder);
    QFETCH(QStringList, messages);
    QFETCH(bool, saved);

    HeadlessStationFixture f(freeUdpPort());
    const QString tpl = f.folder() + QStringLiteral("templates");
    QVERIFY(QDir().mkdir(tpl));
    QVERIFY(QDir().mkdir(f.folder() + QStringLiteral("DATA")));
    const QString previousCurrent = QDir::currentPath();
    QDir::setCurrent(f.folder()); // "DATA" exists relative to the current folder
    answer.replace(QStringLiteral("<tpl>"), tpl);
    folder.replace(QStringLiteral("<tpl>"), tpl).replace(QStringLiteral("<cfg>"), f.folder());
    f.dialogs.answerInput(answer);

    f.station().configFile().B_EDIT_DIR_TEMPLATE_Click();
    QDir::setCurrent(previousCurrent);

    const auto &shown = f.dialogs.shown();
    QVERIFY(!shown.isEmpty());
    QCOMPARE(shown[0].text, QStringLiteral("Enter the Folder template"));
    QCOMPARE(shown[0].title, QStringLiteral("Edit folder templates"));
    QCOMPARE(shown[0].preset, f.folder());
    QStringList boxes;
    for (qsizetype i = 1; i < shown.size(); ++i) {
        boxes << shown[i].text;
        QCOMPARE(shown[i].icon, Dialogs::Icon::Critical);
        QCOMPARE(shown[i].title, QString());
    }
    QCOMPARE(boxes, messages);
    QCOMPARE(f.state().templatesFolder(), folder);
    const QByteArray file = readAll(f.station().configFile().filePath());
    if (saved)
        QCOMPARE(file.split('\n').value(4), folder.toLatin1() + "\r");
    else
        QCOMPARE(file, QByteArray("<missing>"));
}

void ConfigFileTest::settingsTypedInAnyScriptSurviveARestart_data()
{
    QTest::addColumn<QString>("setting"); // prefix, suffix, templates (a folder made first)
    QTest::addColumn<QString>("value");
    QTest::newRow("suffix with the euro sign")
        << "suffix" << QStringLiteral("\u20ac{ENTER}"); // read mode typed "?" after a restart
    QTest::newRow("Cyrillic prefix")
        << "prefix" << QStringLiteral("\u041d\u043e\u043c\u0435\u0440 ");
    QTest::newRow("Greek templates folder")
        << "templates" << QStringLiteral("\u0395\u03bb\u03bb\u03ac\u03b4\u03b1");
    QTest::newRow("Latin-1 letters in the templates folder")
        << "templates" << QStringLiteral("donn\u00e9es");
}

// Set as the operator sets them, saved, and read back by a station started afresh.
void ConfigFileTest::settingsTypedInAnyScriptSurviveARestart()
{
    QFETCH(QString, setting);
    QFETCH(QString, value);
    HeadlessStationFixture f(freeUdpPort());
    if (setting == QLatin1String("templates")) {
        value = f.folder() + value;
        QVERIFY(QDir().mkdir(value));
        f.dialogs.answerInput(value);
        f.station().configFile().B_EDIT_DIR_TEMPLATE_Click(); // saves
        value += QLatin1Char('/');
        QCOMPARE(f.state().templatesFolder(), value);
    } else {
        if (setting == QLatin1String("prefix"))
            f.state().setPrefix(value);
        else
            f.state().setSuffix(value);
        QVERIFY(f.station().configFile().B_SAVE_CFG_Click());
    }
    const int line = setting == QLatin1String("prefix")   ? 2
                     : setting == QLatin1String("suffix") ? 3
                                                          : 4;
    QCOMPARE(readAll(f.station().configFile().filePath()).split('\n').value(line),
             value.toUtf8() + "\r");

    HeadlessStationFixture restarted(freeUdpPort());
    QVERIFY(QFile::copy(f.station().configFile().filePath(),
                        restarted.station().configFile().filePath()));
    restarted.station().configFile().LOAD_CFG();

    const StationState &state = restarted.state();
    const QString loaded = setting == QLatin1String("prefix")   ? state.prefix()
                           : setting == QLatin1String("suffix") ? state.suffix()
                                                                : state.templatesFolder();
    QCOMPARE(loaded, value);
    QCOMPARE(restarted.dialogs.shown().size(), 0);
}

void ConfigFileTest::fileFromAnEditorOrAnOlderStationLoads_data()
{
    QTest::addColumn<QString>("encoding"); // how the file's text lines are written
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QString>("target");
    const QString folder = QStringLiteral("donn\u00e9es");
    QTest::newRow("UTF-8 from an editor")
        << "utf-8" << QStringLiteral("\u2116") << QStringLiteral("\u20ac{ENTER}")
        << QStringLiteral("10.0.0.1         \u041a\u0443\u0445\u043d\u044f");
    QTest::newRow("UTF-8 with a byte order mark")
        << "utf-8-bom" << QStringLiteral("caf\u00e9") << QStringLiteral("{ENTER}")
        << QStringLiteral("10.0.0.1         \u00e9tage");
    QTest::newRow("Latin-1 from an older station")
        << "latin-1" << QStringLiteral("caf\u00e9") << QStringLiteral("\u00a4{ENTER}")
        << QStringLiteral("10.0.0.1         \u00e9tage \u00ff");
}

void ConfigFileTest::fileFromAnEditorOrAnOlderStationLoads()
{
    QFETCH(QString, encoding);
    QFETCH(QString, prefix);
    QFETCH(QString, suffix);
    QFETCH(QString, target);
    HeadlessStationFixture f(freeUdpPort());
    const QString templates = f.folder() + QStringLiteral("donn\u00e9es/");
    QVERIFY(QDir().mkdir(templates));
    const auto bytes = [&encoding](const QString &text) {
        return encoding == QLatin1String("latin-1") ? text.toLatin1() : text.toUtf8();
    };
    QByteArray file =
        configLines("3", " 0 ", bytes(prefix), bytes(suffix), bytes(templates), {bytes(target)});
    if (encoding == QLatin1String("utf-8-bom"))
        file.prepend("\xef\xbb\xbf");
    QVERIFY(writeAll(f.station().configFile().filePath(), file));

    f.station().configFile().LOAD_CFG();

    QCOMPARE(f.state().serialPort(), QStringLiteral("3"));
    QCOMPARE(f.state().prefix(), prefix);
    QCOMPARE(f.state().suffix(), suffix);
    QCOMPARE(f.state().templatesFolder(), templates); // not the configuration folder
    QCOMPARE(entries(f.state()), QStringList{target});
}

// A read-mode station whose UDP port is taken: the port's error box opens while the mode
// switch runs inside LOAD_CFG. Everything the file holds is in the window by then: a user
// recognised meanwhile is typed with its prefix, to the targets and folder of the file.
void ConfigFileTest::everySettingIsInPlaceBeforeTheModeSwitchActs()
{
    QUdpSocket holder;
    QVERIFY(holder.bind(QHostAddress::AnyIPv4, 0));
    HeadlessStationFixture f(holder.localPort());
    const QString templates = f.folder() + QStringLiteral("templates/");
    QVERIFY(QDir().mkdir(templates));
    QVERIFY(writeAll(f.station().configFile().filePath(),
                     configLines("4", " 1 ", "No.", "{TAB}", templates.toUtf8(),
                                 {"10.0.0.1         door", "10.0.0.2"})));
    struct Seen
    {
        QString port, prefix, suffix, templates;
        QStringList targets;
        bool readMode = false;
    };
    QList<Seen> seen;
    f.dialogs.whileShown([&f, &seen](const ScriptedDialogs::Shown &) {
        const StationState &state = f.state();
        seen.append({state.serialPort(), state.prefix(), state.suffix(), state.templatesFolder(),
                     entries(state), state.readMode()});
    });

    f.station().configFile().LOAD_CFG();

    QCOMPARE(seen.size(), 1); // the port's box
    QVERIFY(f.dialogs.shown().first().text.startsWith(QStringLiteral("ERROR: UDP PORT")));
    QCOMPARE(seen[0].port, QStringLiteral("4"));
    QVERIFY(seen[0].readMode);
    QCOMPARE(seen[0].prefix, QStringLiteral("No."));
    QCOMPARE(seen[0].suffix, QStringLiteral("{TAB}"));
    QCOMPARE(seen[0].templates, templates);
    QCOMPARE(seen[0].targets, (QStringList{"10.0.0.1         door", "10.0.0.2"}));
}

QTEST_GUILESS_MAIN(ConfigFileTest)
#include "tst_config_file.moc"
