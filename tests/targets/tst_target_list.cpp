#include "config/ConfigFile.h"
#include "config/TargetList.h"
#include "support/StationFixture.h"

#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>

// The target unit list as the operator edits it, with the configuration file it rewrites.
class TargetListTest : public QObject
{
    Q_OBJECT

private:
    using Shown = ScriptedDialogs::Shown;

    static QString blanks(int n) { return QString(n, u' '); }

    static QStringList entries(F_MAIN &w)
    {
        QStringList texts;
        for (int row = 0; row < w.LST_IP->count(); ++row)
            texts.append(w.LST_IP->item(row)->text());
        return texts;
    }
    static bool allTicked(F_MAIN &w)
    {
        for (int row = 0; row < w.LST_IP->count(); ++row) {
            if (w.LST_IP->item(row)->checkState() != Qt::Checked)
                return false;
        }
        return true;
    }
    // The target lines of the configuration file (line 11 on), or nullopt when no file.
    static std::optional<QStringList> savedTargets(F_MAIN &w)
    {
        QFile file(w.configFile().filePath());
        if (!file.open(QIODevice::ReadOnly))
            return std::nullopt;
        QStringList lines = QString::fromLatin1(file.readAll()).split(QStringLiteral("\r\n"));
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        return lines.mid(10);
    }
    static void forgetSavedFile(F_MAIN &w) { QFile::remove(w.configFile().filePath()); }
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
            << "unit-17-chars-abc" << true << "unit-17-chars-abcGate north";
    }
    void addingAnAddressStoresATickedEntryAndSaves()
    {
        QFETCH(QString, typed);
        QFETCH(bool, asksDescription);
        QFETCH(QString, entry);
        StationFixture f;
        F_MAIN &w = f.w();
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
        QCOMPARE(w.ID_IP, typed);
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
        StationFixture f;
        F_MAIN &w = f.w();
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
        StationFixture f;
        F_MAIN &w = f.w();
        w.targetList().addEntry(TargetList::entryText("10.0.0.1", "Gate"));
        w.LST_IP->setCurrentRow(0);
        const QString before = w.LST_IP->item(0)->text();
        forgetSavedFile(w);
        w.ID_IP = QStringLiteral("10.0.0.1");
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
        QCOMPARE(w.ID_IP, QStringLiteral("10.0.0.1"));
        QVERIFY(!savedTargets(w));
    }

    void editingAShorterAddressDropsTheDescriptionAndTicksTheEntry()
    {
        StationFixture f;
        F_MAIN &w = f.w();
        w.targetList().addEntry(TargetList::entryText("10.0.0.99", "Gate"));
        w.targetList().addEntry(TargetList::entryText("10.0.0.1", "Hall"));
        w.LST_IP->item(1)->setCheckState(Qt::Unchecked);
        w.LST_IP->setCurrentRow(1);
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
        QCOMPARE(w.ID_IP, QStringLiteral("1.2.3.4"));
        QCOMPARE(savedTargets(w), std::optional<QStringList>(expected));
    }

    void editingALongAddressAsksTheDescriptionPresetToTheOldOne()
    {
        StationFixture f;
        F_MAIN &w = f.w();
        w.targetList().addEntry(TargetList::entryText("10.0.0.1", "Gate"));
        w.LST_IP->setCurrentRow(0);
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
        StationFixture f;
        F_MAIN &w = f.w();
        w.targetList().addEntry(TargetList::entryText("10.0.0.1", "Gate"));
        forgetSavedFile(w);

        w.targetList().B_EDIT_TERM_Click(); // nothing current: nothing asked
        QCOMPARE(f.dialogs.shown().size(), 0);

        w.LST_IP->setCurrentRow(0);
        w.targetList().B_EDIT_TERM_Click(); // cancelled
        QCOMPARE(f.dialogs.shown().size(), 1);
        QCOMPARE(entries(w), QStringList{"10.0.0.1" + blanks(9) + "Gate"});
        QVERIFY(!savedTargets(w));
    }

    void deletingRemovesTheCurrentEntryAndSaves()
    {
        StationFixture f;
        F_MAIN &w = f.w();
        for (const char *address : {"10.0.0.1", "10.0.0.2", "10.0.0.3"})
            w.targetList().addEntry(TargetList::entryText(address, "x"));
        w.LST_IP->setCurrentRow(1);

        w.targetList().B_IP_DEL_Click();

        const QStringList expected{"10.0.0.1" + blanks(9) + "x", "10.0.0.3" + blanks(9) + "x"};
        QCOMPARE(entries(w), expected);
        QCOMPARE(savedTargets(w), std::optional<QStringList>(expected));
        QCOMPARE(w.LST_IP->currentRow(), -1);  // a second press deletes nothing more
        QCOMPARE(f.dialogs.shown().size(), 0); // no confirmation
    }

    void deletingWithNoCurrentEntryStillSaves()
    {
        StationFixture f;
        F_MAIN &w = f.w();
        w.targetList().addEntry(TargetList::entryText("10.0.0.1", "Gate"));
        forgetSavedFile(w);

        w.targetList().B_IP_DEL_Click();

        QCOMPARE(entries(w).size(), 1);
        QCOMPARE(savedTargets(w),
                 std::optional<QStringList>(QStringList{"10.0.0.1" + blanks(9) + "Gate"}));
    }

    void clickingAnEntryCopiesItsTrimmedAddress()
    {
        StationFixture f;
        F_MAIN &w = f.w();
        w.INP_IP->setText(QStringLiteral("127.0.0.1"));
        w.targetList().addEntry(TargetList::entryText("10.0.0.1", "Gate"));
        w.targetList().addEntry(TargetList::entryText(" 10.0.0.2", "Hall"));
        QCOMPARE(w.INP_IP->text(), QStringLiteral("127.0.0.1")); // adding is no click

        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QRect second = w.LST_IP->visualItemRect(w.LST_IP->item(1));
        QTest::mouseClick(w.LST_IP->viewport(), Qt::LeftButton, {}, second.center());

        QCOMPARE(w.LST_IP->currentRow(), 1);
        QCOMPARE(w.ID_IP, QStringLiteral("10.0.0.2"));
        QCOMPARE(w.INP_IP->text(), QStringLiteral("10.0.0.2"));

        w.LST_IP->setCurrentRow(0); // the keyboard moves the highlight the same way
        QCOMPARE(w.INP_IP->text(), QStringLiteral("10.0.0.1"));
    }

    void tickedAddressesComeInListOrder()
    {
        StationFixture f;
        F_MAIN &w = f.w();
        for (const char *address : {"10.0.0.3", " 10.0.0.1", "10.0.0.2", "10.0.0.4"})
            w.targetList().addEntry(TargetList::entryText(address, "x"));
        w.LST_IP->item(2)->setCheckState(Qt::Unchecked);
        QCOMPARE(w.targetList().tickedAddresses(),
                 (QStringList{"10.0.0.3", "10.0.0.1", "10.0.0.4"}));
    }
};

QTEST_MAIN(TargetListTest)
#include "tst_target_list.moc"
