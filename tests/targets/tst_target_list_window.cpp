#include "app/QtDialogs.h"
#include "config/ConfigFile.h"
#include "config/TargetList.h"
#include "support/StationFixture.h"
#include "targets/SavedTargets.h"

#include <QApplication>
#include <QFile>
#include <QInputDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTextDocumentFragment>
#include <QTimer>

// The target unit list in the window: chosen by a click or the keyboard, entries that name no
// unit greyed, the real address box. Its logic is tried without a window (tst_target_list).
class TargetListWindowTest : public QObject
{
    Q_OBJECT

private:
    static QString blanks(int n) { return QString(n, u' '); }

    static QStringList entries(F_MAIN &w)
    {
        QStringList texts;
        for (int row = 0; row < w.LST_IP->count(); ++row)
            texts.append(w.LST_IP->item(row)->text());
        return texts;
    }
    // The target lines of the configuration file (line 11 on), or nullopt when no file.
    static std::optional<QStringList> savedTargets(F_MAIN &w)
    {
        return SavedTargets::of(w.configFile().filePath());
    }
    static void forgetSavedFile(F_MAIN &w) { QFile::remove(w.configFile().filePath()); }
    // Presses Tab, as a person would, until the widget has the focus.
    static bool tabTo(QWidget &window, QWidget *target)
    {
        for (int i = 0; i < 60 && QApplication::focusWidget() != target; ++i) {
            QWidget *from = QApplication::focusWidget();
            QTest::keyClick(from ? from : &window, Qt::Key_Tab);
        }
        return QApplication::focusWidget() == target;
    }

private slots:
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

    // Entries of an older configuration file that name no unit are shown greyed, with the
    // reason in their tooltip (tst_target_list: kept and skipped).
    void entriesThatNameNoUnitAreShownGreyedSayingWhy()
    {
        StationFixture f;
        F_MAIN &w = f.w();
        const QStringList lines{TargetList::entryText("10.0.0.1", "Gate"),
                                TargetList::entryText("10.0.0.999", "Typo"),
                                TargetList::entryText("<b>x</b>", "Markup"),
                                TargetList::entryText("COM 2", "Own unit")};
        for (const QString &line : lines)
            w.targetList().addEntry(line);

        QCOMPARE(entries(w), lines);
        const QColor grey = w.LST_IP->palette().color(QPalette::Disabled, QPalette::Text);
        for (int row : {1, 2}) {
            const QListWidgetItem *item = w.LST_IP->item(row);
            QCOMPARE(item->foreground().color(), grey);
            const QString tip = QTextDocumentFragment::fromHtml(item->toolTip()).toPlainText();
            QVERIFY2(tip.startsWith(QStringLiteral("Skipped")), qPrintable(tip));
            QVERIFY2(tip.contains(TargetList::addressOf(item->text())), qPrintable(tip));
        }
        for (int row : {0, 3}) {
            QVERIFY(w.LST_IP->item(row)->toolTip().isEmpty());
            QCOMPARE(w.LST_IP->item(row)->data(Qt::ForegroundRole), QVariant());
        }
    }

    // Tab into the list makes an entry current but chooses none: Edit, Delete, Test and View
    // stay disabled and nothing is taken. An arrow key moves the selection and chooses the
    // entry as a click does; Delete, reached with Tab and pressed with Space, removes it.
    void focusAloneChoosesNoTargetAndArrowsChooseLikeAClick()
    {
        StationFixture f;
        F_MAIN &w = f.w();
        w.INP_IP->setText(QStringLiteral("127.0.0.1"));
        for (const char *address : {"10.0.0.1", "10.0.0.2", "10.0.0.3"})
            w.targetList().addEntry(TargetList::entryText(address, "x"));
        forgetSavedFile(w);
        w.show();
        QApplication::setActiveWindow(&w);
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QVERIFY(tabTo(w, w.LST_IP));

        QVERIFY(w.LST_IP->selectedItems().isEmpty());
        QCOMPARE(w.INP_IP->text(), QStringLiteral("127.0.0.1"));
        QCOMPARE(w.ID_IP, QString());
        for (QPushButton *b : {w.B_EDIT_TERM, w.B_IP_DEL, w.B_PING, w.B_TCP_VIEW_USR_LST})
            QVERIFY2(!b->isEnabled(), qPrintable(b->objectName()));
        w.targetList().B_IP_DEL_Click(); // even called, it finds nothing chosen
        w.targetList().B_EDIT_TERM_Click();
        QCOMPARE(entries(w).size(), 3);
        QVERIFY(f.dialogs.shown().isEmpty());

        QTest::keyClick(w.LST_IP, Qt::Key_Down);
        QCOMPARE(w.LST_IP->selectedItems().size(), 1);
        QCOMPARE(w.INP_IP->text(), QStringLiteral("10.0.0.2"));
        QCOMPARE(w.ID_IP, QStringLiteral("10.0.0.2"));
        for (QPushButton *b : {w.B_EDIT_TERM, w.B_IP_DEL, w.B_PING, w.B_TCP_VIEW_USR_LST})
            QVERIFY2(b->isEnabled(), qPrintable(b->objectName()));

        QVERIFY(tabTo(w, w.B_IP_DEL));
        QTest::keyClick(w.B_IP_DEL, Qt::Key_Space);
        const QStringList expected{"10.0.0.1" + blanks(9) + "x", "10.0.0.3" + blanks(9) + "x"};
        QCOMPARE(entries(w), expected);
        QCOMPARE(savedTargets(w), std::optional<QStringList>(expected));
        QVERIFY(!w.B_IP_DEL->isEnabled()); // nothing is chosen after a delete
    }

    // The real address box: Enter presses OK, and the box is wide enough for its title.
    void enterInTheAddressBoxPressesOk()
    {
        QtDialogs dialogs;
        int boxWidth = 0;
        int titleWidth = 0;
        QTimer::singleShot(0, qApp, [&] {
            auto *box = qobject_cast<QInputDialog *>(QApplication::activeModalWidget());
            if (!box)
                return;
            boxWidth = box->width();
            titleWidth = box->fontMetrics().horizontalAdvance(box->windowTitle());
            QWidget *field = box->focusWidget();
            QTest::keyClicks(field, QStringLiteral("10.0.0.5"));
            QTest::keyClick(field, Qt::Key_Return);
        });
        QCOMPARE(dialogs.inputBox(QStringLiteral("Enter the IP address:"),
                                  QStringLiteral("Target Trelvane IP Address")),
                 QStringLiteral("10.0.0.5"));
        QVERIFY2(boxWidth > titleWidth + 100, qPrintable(QString::number(boxWidth)));
    }
};

QTEST_MAIN(TargetListWindowTest)
#include "tst_target_list_window.moc"
