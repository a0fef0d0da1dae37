// The target list's logic on the station's state alone: no window, no widgets.
#include "config/TargetList.h"
#include "log/ActivityLog.h"
#include "platform/ScriptedDialogs.h"
#include "platform/TestClock.h"
#include "station/StationState.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kGate = TargetList::entryText(QStringLiteral("10.0.0.1"), QStringLiteral("Gate"));
const QString kHall = TargetList::entryText(QStringLiteral(" 10.0.0.2"), QStringLiteral("Hall"));

struct Targets
{
    Targets()
    {
        state.setConfigFolder(dir.path() + QLatin1Char('/'));
        state.setTcpAddress(QStringLiteral("127.0.0.1"));
        list.addEntry(kGate);
        list.addEntry(kHall);
    }
    QStringList lines() const
    {
        QStringList lines;
        for (const TargetUnit &target : state.targets())
            lines.append(target.line);
        return lines;
    }

    QTemporaryDir dir;
    StationState state;
    TestClock clock;
    ScriptedDialogs dialogs;
    ActivityLog log{state, clock};
    TargetList list{state, dialogs, log};
    QSignalSpy saves{&list, &TargetList::settingsChanged};
};

} // namespace

class TargetListHeadlessTest : public QObject
{
    Q_OBJECT
private slots:
    // Choosing a line (the operator's click or keys, written into the state by whatever view
    // shows the list) makes its unit the current one; the list's own changes choose nothing.
    void choosingALineMakesItsUnitCurrent()
    {
        Targets t;
        QCOMPARE(t.state.tcpAddress(), QStringLiteral("127.0.0.1")); // adding is no choice
        QVERIFY(!t.list.selectedEntry());

        t.state.setCurrentTarget(1);
        QCOMPARE(t.state.ID_IP, QStringLiteral("10.0.0.2")); // trimmed
        QCOMPARE(t.state.tcpAddress(), QStringLiteral("10.0.0.2"));
        QCOMPARE(t.list.selectedEntry()->line, kHall);
        QCOMPARE(t.saves.count(), 0);
    }

    // Each change of the list asks once for a save; with nothing chosen, Edit asks nothing
    // and changes nothing, and Delete changes nothing but still saves.
    void changesAskForOneSaveEach_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<int>("chosen");
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<int>("saves");
        QTest::addColumn<int>("chosenAfter");
        const QString door =
            TargetList::entryText(QStringLiteral("10.0.0.3"), QStringLiteral("Door"));
        QTest::newRow("add") << "add" << -1 << QStringList{"10.0.0.3", "Door"}
                             << QStringList{kGate, kHall, door} << 1 << -1;
        QTest::newRow("edit the chosen")
            << "edit" << 0 << QStringList{"10.0.0.3", "Door"} << QStringList{door, kHall} << 1 << 0;
        QTest::newRow("edit, none chosen") << "edit" << -1 << QStringList{"10.0.0.3", "Door"}
                                           << QStringList{kGate, kHall} << 0 << -1;
        QTest::newRow("delete the chosen")
            << "delete" << 1 << QStringList{} << QStringList{kGate} << 1 << -1;
        QTest::newRow("delete the first, the second stays")
            << "delete" << 0 << QStringList{} << QStringList{kHall} << 1 << -1;
        QTest::newRow("delete, none chosen")
            << "delete" << -1 << QStringList{} << QStringList{kGate, kHall} << 1 << -1;
    }
    void changesAskForOneSaveEach()
    {
        QFETCH(QString, operation);
        QFETCH(int, chosen);
        QFETCH(QStringList, answers);
        QFETCH(QStringList, after);
        QFETCH(int, saves);
        QFETCH(int, chosenAfter);
        Targets t;
        t.state.setCurrentTarget(chosen);
        const QString address = t.state.tcpAddress();
        for (const QString &answer : answers)
            t.dialogs.answerInput(answer);

        if (operation == QLatin1String("add"))
            t.list.B_IP_ADD_Click();
        else if (operation == QLatin1String("edit"))
            t.list.B_EDIT_TERM_Click();
        else
            t.list.B_IP_DEL_Click();

        QCOMPARE(t.lines(), after);
        QCOMPARE(t.saves.count(), saves);
        QCOMPARE(t.state.currentTarget(), chosenAfter);
        QCOMPARE(t.state.tcpAddress(), address); // a change of the list is no choice
        for (const TargetUnit &target : t.state.targets())
            QVERIFY(target.ticked);
    }
};

QTEST_GUILESS_MAIN(TargetListHeadlessTest)
#include "tst_target_list_headless.moc"
