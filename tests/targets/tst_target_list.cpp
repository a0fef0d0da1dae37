#include "config/ConfigFile.h"
#include "config/TargetEntry.h"
#include "config/TargetList.h"
#include "support/HeadlessStationFixture.h"
#include "targets/SavedTargets.h"

#include <QFile>
#include <QTest>

#include <optional>

// The target unit list as the operator edits it, with the configuration file it rewrites.
class TargetListTest : public QObject
{
    Q_OBJECT

private:
    using Shown = ScriptedDialogs::Shown;

    static QString blanks(int n) { return QString(n, u' '); }

    static QStringList entries(Station &w)
    {
        QStringList texts;
        for (const TargetUnit &target : w.state().targets())
            texts.append(target.line);
        return texts;
    }
    static bool allTicked(Station &w)
    {
        for (const TargetUnit &target : w.state().targets()) {
            if (!target.ticked)
                return false;
        }
        return true;
    }
    // The target lines of the configuration file (line 11 on), or nullopt when no file.
    static std::optional<QStringList> savedTargets(Station &w)
    {
        return SavedTargets::of(w.configFile().filePath());
    }
    static void forgetSavedFile(Station &w) { QFile::remove(w.configFile().filePath()); }
    static QList<Shown> inputs(const ScriptedDialogs &dialogs)
    {
        QList<Shown> boxes;
        for (const Shown &box : dialogs.shown()) {
            if (box.kind == Shown::Kind::Input)
                boxes.append(box);
        }
        return boxes;
    }

private slots:
    void entryTextsAreBuiltAndReadBack_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("addressBack");
        QTest::newRow("dotted") << "10.0.0.1"
                                << "Gate"
                                << "10.0.0.1" + blanks(9) + "Gate"
                                << "10.0.0.1";
        QTest::newRow("short, no description") << "1.2.3.4"
                                               << ""
                                               << "1.2.3.4" + blanks(10) << "1.2.3.4";
        QTest::newRow("leading blank kept") << " 1.2.3.4"
                                            << ""
                                            << " 1.2.3.4" + blanks(9) << "1.2.3.4";
        QTest::newRow("17 characters, no blanks") << "unit-17-chars-abc"
                                                  << "Hall"
                                                  << "unit-17-chars-abcHall"
                                                  << "unit-17-chars-abc";
    }
    void entryTextsAreBuiltAndReadBack()
    {
        QFETCH(QString, address);
        QFETCH(QString, description);
        QFETCH(QString, entry);
        QFETCH(QString, addressBack);
        QCOMPARE(TargetList::entryText(address, description), entry);
        QCOMPARE(TargetList::addressOf(entry), addressBack);
        QCOMPARE(TargetList::descriptionOf(entry), description);
    }

    void addingAnAddressStoresATickedEntryAndSaves_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("asksDescription");
        QTest::addColumn<QString>("entry");
        QTest::newRow("8 characters ask a description")
            << "10.0.0.1" << true << "10.0.0.1" + blanks(9) + "Gate north";
        QTest::newRow("7 characters ask none") << "1.2.3.4" << false << "1.2.3.4" + blanks(10);
        QTest::newRow("leading blank kept, length counted trimmed")
            << " 1.2.3.4" << false << " 1.2.3.4" + blanks(9);
        QTest::newRow("17 characters")
            << " 192.168.100.200 " << true << " 192.168.100.200 Gate north";
    }
    void addingAnAddressStoresATickedEntryAndSaves()
    {
        QFETCH(QString, typed);
        QFETCH(bool, asksDescription);
        QFETCH(QString, entry);
        HeadlessStationFixture f;
        Station &w = f.station();
        f.dialogs.answerInput(typed);
        if (asksDescription)
            f.dialogs.answerInput(QStringLiteral("Gate north"));

        w.targetList().B_IP_ADD_Click();

        const QList<Shown> asked = inputs(f.dialogs);
        QCOMPARE(asked.size(), asksDescription ? 2 : 1);
        QCOMPARE(asked[0].text, QStringLiteral("Enter the IP address:"));
        QCOMPARE(asked[0].title, QStringLiteral("Target Trelvane IP Address"));
        QCOMPARE(asked[0].preset, QString());
        if (asksDescription) {
            QCOMPARE(asked[1].text, QStringLiteral("Enter the description:"));
            QCOMPARE(asked[1].title, QStringLiteral("Target Trelvane Description"));
            QCOMPARE(asked[1].preset, QString());
        }
        QCOMPARE(entries(w), QStringList{entry});
        QVERIFY(allTicked(w));
        QCOMPARE(w.state().ID_IP, typed);
        QCOMPARE(savedTargets(w), std::optional<QStringList>(QStringList{entry}));
        QCOMPARE(f.dialogs.unanswered(), 0);
    }

    void aCancelledOrBlankAddressChangesNothing_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::newRow("cancel") << "";
        QTest::newRow("blanks") << "   ";
    }
    void aCancelledOrBlankAddressChangesNothing()
    {
        QFETCH(QString, typed);
        HeadlessStationFixture f;
        Station &w = f.station();
        w.targetList().addEntry(TargetList::entryText("1.2.3.4", ""));
        forgetSavedFile(w);
        f.dialogs.answerInput(typed);

        w.targetList().B_IP_ADD_Click();

        QCOMPARE(inputs(f.dialogs).size(), 1);
        QCOMPARE(entries(w), QStringList{"1.2.3.4" + blanks(10)});
        QVERIFY(!savedTargets(w));
    }

    void anAddressLongerThan17CharactersIsRefusedWithABox()
    {
        HeadlessStationFixture f;
        Station &w = f.station();
        w.targetList().addEntry(TargetList::entryText("10.0.0.1", "Gate"));
        w.state().setCurrentTarget(0);
        const QString before = w.state().targets()[0].line;
        forgetSavedFile(w);
        w.state().ID_IP = QStringLiteral("10.0.0.1");
        const QString tooLong = QStringLiteral("192.168.100.200.12"); // 18 characters
        f.dialogs.answerInput(tooLong);
        f.dialogs.answerInput(tooLong);

        w.targetList().B_IP_ADD_Click();
        w.targetList().B_EDIT_TERM_Click();

        QCOMPARE(inputs(f.dialogs).size(), 2); // no description asked after either
        int refusals = 0;
        for (const Shown &box : f.dialogs.shown()) {
            if (box.kind != Shown::Kind::Message)
                continue;
            ++refusals;
            QCOMPARE(box.title, QStringLiteral("Target Trelvane IP Address"));
            QCOMPARE(box.icon, Dialogs::Icon::Critical);
            QVERIFY(box.text.contains(QStringLiteral("17 characters")));
        }
        QCOMPARE(refusals, 2);
        QCOMPARE(entries(w), QStringList{before});
        QCOMPARE(w.state().ID_IP, QStringLiteral("10.0.0.1"));
        QVERIFY(!savedTargets(w));
    }

    void editingAShorterAddressDropsTheDescriptionAndTicksTheEntry()
    {
        HeadlessStationFixture f;
        Station &w = f.station();
        w.targetList().addEntry(TargetList::entryText("10.0.0.99", "Gate"));
        w.targetList().addEntry(TargetList::entryText("10.0.0.1", "Hall"));
        w.state().setTargetTicked(1, false);
        w.state().setCurrentTarget(1);
        f.dialogs.answerInput(QStringLiteral("1.2.3.4"));

        w.targetList().B_EDIT_TERM_Click();

        const QList<Shown> asked = inputs(f.dialogs);
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked[0].text, QStringLiteral("Edit the IP address:"));
        QCOMPARE(asked[0].title, QStringLiteral("Target Trelvane IP Address"));
        QCOMPARE(asked[0].preset, QStringLiteral("10.0.0.1"));
        const QStringList expected{"10.0.0.99" + blanks(8) + "Gate", "1.2.3.4" + blanks(10)};
        QCOMPARE(entries(w), expected);
        QVERIFY(allTicked(w));
        QCOMPARE(w.state().ID_IP, QStringLiteral("1.2.3.4"));
        QCOMPARE(savedTargets(w), std::optional<QStringList>(expected));
    }

    void editingALongAddressAsksTheDescriptionPresetToTheOldOne()
    {
        HeadlessStationFixture f;
        Station &w = f.station();
        w.targetList().addEntry(TargetList::entryText("10.0.0.1", "Gate"));
        w.state().setCurrentTarget(0);
        f.dialogs.answerInput(QStringLiteral("10.0.0.77"));
        f.dialogs.answerInput(QStringLiteral("Door"));

        w.targetList().B_EDIT_TERM_Click();

        const QList<Shown> asked = inputs(f.dialogs);
        QCOMPARE(asked.size(), 2);
        QCOMPARE(asked[1].text, QStringLiteral("Edit the description:"));
        QCOMPARE(asked[1].title, QStringLiteral("Target Trelvane Description"));
        QCOMPARE(asked[1].preset, QStringLiteral("Gate"));
        QCOMPARE(entries(w), QStringList{"10.0.0.77" + blanks(8) + "Door"});
    }

    void editingWithNoCurrentEntryOrACancelKeepsTheEntry()
    {
        HeadlessStationFixture f;
        Station &w = f.station();
        w.targetList().addEntry(TargetList::entryText("10.0.0.1", "Gate"));
        forgetSavedFile(w);

        w.targetList().B_EDIT_TERM_Click(); // nothing current: nothing asked
        QCOMPARE(f.dialogs.shown().size(), 0);

        w.state().setCurrentTarget(0);
        w.targetList().B_EDIT_TERM_Click(); // cancelled
        QCOMPARE(f.dialogs.shown().size(), 1);
        QCOMPARE(entries(w), QStringList{"10.0.0.1" + blanks(9) + "Gate"});
        QVERIFY(!savedTargets(w));
    }

    void deletingRemovesTheCurrentEntryAndSaves()
    {
        HeadlessStationFixture f;
        Station &w = f.station();
        for (const char *address : {"10.0.0.1", "10.0.0.2", "10.0.0.3"})
            w.targetList().addEntry(TargetList::entryText(address, "x"));
        w.state().setCurrentTarget(1);

        w.targetList().B_IP_DEL_Click();

        const QStringList expected{"10.0.0.1" + blanks(9) + "x", "10.0.0.3" + blanks(9) + "x"};
        QCOMPARE(entries(w), expected);
        QCOMPARE(savedTargets(w), std::optional<QStringList>(expected));
        QCOMPARE(w.state().currentTarget(), -1); // a second press deletes nothing more
        QCOMPARE(f.dialogs.shown().size(), 0);   // no confirmation
    }

    void deletingWithNoCurrentEntryStillSaves()
    {
        HeadlessStationFixture f;
        Station &w = f.station();
        w.targetList().addEntry(TargetList::entryText("10.0.0.1", "Gate"));
        forgetSavedFile(w);

        w.targetList().B_IP_DEL_Click();

        QCOMPARE(entries(w).size(), 1);
        QCOMPARE(savedTargets(w),
                 std::optional<QStringList>(QStringList{"10.0.0.1" + blanks(9) + "Gate"}));
    }

    // Choosing an entry copies its trimmed address; the keyboard moving the selection chooses
    // the same way (the click itself: tst_target_list_window).
    void clickingAnEntryCopiesItsTrimmedAddress()
    {
        HeadlessStationFixture f;
        Station &w = f.station();
        w.state().setTcpAddress(QStringLiteral("127.0.0.1"));
        w.targetList().addEntry(TargetList::entryText("10.0.0.1", "Gate"));
        w.targetList().addEntry(TargetList::entryText(" 10.0.0.2", "Hall"));
        QCOMPARE(w.state().tcpAddress(), QStringLiteral("127.0.0.1")); // adding is no click

        w.state().setCurrentTarget(1);
        w.targetList().LST_IP_Click();

        QCOMPARE(w.state().currentTarget(), 1);
        QCOMPARE(w.state().ID_IP, QStringLiteral("10.0.0.2"));
        QCOMPARE(w.state().tcpAddress(), QStringLiteral("10.0.0.2"));

        w.state().setCurrentTarget(0); // the keyboard moves the highlight the same way
        QCOMPARE(w.state().tcpAddress(), QStringLiteral("10.0.0.1"));
    }

    void anAddressIsADottedQuadOrCom_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("problem"); // a piece of the reason; empty: accepted
        QTest::newRow("dotted quad") << "10.0.0.1"
                                     << "";
        QTest::newRow("blanks around") << " 10.0.0.1 "
                                       << "";
        QTest::newRow("lowest") << "0.0.0.0"
                                << "";
        QTest::newRow("highest") << "255.255.255.255"
                                 << "";
        QTest::newRow("com") << "com"
                             << "";
        QTest::newRow("COM with port") << "COM 3"
                                       << "";
        QTest::newRow("Com with port, no blank") << "Com3"
                                                 << "";
        QTest::newRow("octet above 255") << "10.0.0.999"
                                         << "the number 999, above 255";
        QTest::newRow("first octet above 255") << "256.1.1.1"
                                               << "the number 256, above 255";
        QTest::newRow("shorthand") << "127.1"
                                   << "is not a full address";
        QTest::newRow("shorthand, trailing blank") << "127.1 "
                                                   << "is not a full address";
        QTest::newRow("three parts") << "10.0.0"
                                     << "is not a full address";
        QTest::newRow("five parts") << "1.2.3.4.5"
                                    << "is not a full address";
        QTest::newRow("empty octet") << "1..2.3"
                                     << "is not a full address";
        QTest::newRow("four digits") << "1.2.3.0004"
                                     << "is not a full address";
        QTest::newRow("host name") << "gate"
                                   << "is not a unit address";
        QTest::newRow("letter after") << "10.0.0.1a"
                                      << "is not a unit address";
        QTest::newRow("com and more") << "com-gate"
                                      << "is not a unit address";
        QTest::newRow("blank") << "   "
                               << "No address";
    }
    void anAddressIsADottedQuadOrCom()
    {
        QFETCH(QString, address);
        QFETCH(QString, problem);
        const QString reason = TargetEntry::addressProblem(address);
        if (problem.isEmpty())
            QCOMPARE(reason, QString());
        else
            QVERIFY2(reason.contains(problem), qPrintable(reason));
    }

    // Add and edit refuse an address that names no unit, with a box that says why; nothing
    // is saved and the entry stays as it was.
    void aTypedAddressThatNamesNoUnitIsRefusedSayingWhy_data()
    {
        QTest::addColumn<bool>("edit");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("why");
        QTest::newRow("add, octet above 255") << false << "10.0.0.999"
                                              << "above 255";
        QTest::newRow("add, shorthand with blank") << false << "127.1 "
                                                   << "not a full address";
        QTest::newRow("edit, octet above 255") << true << "10.0.0.999"
                                               << "above 255";
        QTest::newRow("edit, name") << true << "gate"
                                    << "not a unit address";
    }
    void aTypedAddressThatNamesNoUnitIsRefusedSayingWhy()
    {
        QFETCH(bool, edit);
        QFETCH(QString, typed);
        QFETCH(QString, why);
        HeadlessStationFixture f;
        Station &w = f.station();
        w.targetList().addEntry(TargetList::entryText("10.0.0.1", "Gate"));
        w.state().setCurrentTarget(0);
        const QStringList before = entries(w);
        forgetSavedFile(w);
        w.state().ID_IP = QStringLiteral("10.0.0.1");
        f.dialogs.answerInput(typed);
        f.dialogs.answerInput(QStringLiteral("a description never asked"));

        if (edit)
            w.targetList().B_EDIT_TERM_Click();
        else
            w.targetList().B_IP_ADD_Click();

        QCOMPARE(inputs(f.dialogs).size(), 1);
        QCOMPARE(f.dialogs.shown().size(), 2);
        const Shown &refusal = f.dialogs.shown()[1];
        QCOMPARE(refusal.kind, Shown::Kind::Message);
        QCOMPARE(refusal.title, QStringLiteral("Target Trelvane IP Address"));
        QCOMPARE(refusal.icon, Dialogs::Icon::Critical);
        QVERIFY2(refusal.text.contains(why), qPrintable(refusal.text));
        QVERIFY(refusal.text.contains(QStringLiteral("not saved")));
        QCOMPARE(refusal.beepsBefore, 2);
        QCOMPARE(entries(w), before);
        QCOMPARE(w.state().ID_IP, QStringLiteral("10.0.0.1"));
        QVERIFY(!savedTargets(w));
    }

    // Entries of an older configuration file that name no unit are kept as they were, and
    // skipped (with a log line) by the work that goes to the ticked units (the window greys
    // them: tst_target_list_window).
    void entriesThatNameNoUnitAreKeptGreyedAndSkipped()
    {
        HeadlessStationFixture f;
        Station &w = f.station();
        f.enableLog();
        const QStringList lines{TargetList::entryText("10.0.0.1", "Gate"),
                                TargetList::entryText("10.0.0.999", "Typo"),
                                TargetList::entryText("<b>x</b>", "Markup"),
                                TargetList::entryText("COM 2", "Own unit")};
        for (const QString &line : lines)
            w.targetList().addEntry(line);

        QCOMPARE(entries(w), lines);
        QCOMPARE(w.targetList().tickedAddresses(), (QStringList{"10.0.0.1", "COM 2"}));
        QCOMPARE(w.targetList().usableTickedCount(), 2);
        const QString log = f.logLines().join(u'\n');
        QVERIFY2(log.contains(QStringLiteral("Target unit skipped: \"10.0.0.999\"")),
                 qPrintable(log));
        QVERIFY(log.contains(QStringLiteral("Target unit skipped: \"<b>x</b>\"")));
    }

    void tickedAddressesComeInListOrder()
    {
        HeadlessStationFixture f;
        Station &w = f.station();
        for (const char *address : {"10.0.0.3", " 10.0.0.1", "10.0.0.2", "10.0.0.4"})
            w.targetList().addEntry(TargetList::entryText(address, "x"));
        w.state().setTargetTicked(2, false);
        QCOMPARE(w.targetList().tickedAddresses(),
                 (QStringList{"10.0.0.3", "10.0.0.1", "10.0.0.4"}));
    }
};

QTEST_GUILESS_MAIN(TargetListTest)
#include "tst_target_list.moc"
