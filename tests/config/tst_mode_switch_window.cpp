// What the operator does in the window reaches the mode switch: the mode buttons, Enter in
// the password box, its OK and reset buttons, and leaving the prefix and suffix boxes. The
// switch's own logic is tried without a window (tst_mode_switch).
#include "config/ConfigFile.h"
#include "config/ModeSwitch.h"
#include "support/FileContent.h"
#include "support/FreePort.h"
#include "support/StationFixture.h"

#include <QApplication>
#include <QFile>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

namespace {

using FileContent::readAll;
using FileContent::writeAll;

} // namespace

class ModeSwitchWindowTest : public QObject
{
    Q_OBJECT
private slots:
    void theModeButtonsAndThePasswordControlsReachTheSwitch()
    {
        StationFixture f(freeUdpPort());
        F_MAIN &w = f.w();
        w.show();
        w.state().setStarted(true);
        QVERIFY(writeAll(w.modeSwitch().passwordFilePath(), "Secret\r\n"));

        // A click on enroll mode asks for the password: read mode stays laid out.
        w.SW_MODE[0]->click();
        QVERIFY(w.FR_PASSWORD->isVisibleTo(&w));
        QVERIFY(w.FR_READ_MODE->isVisibleTo(&w));

        // OK with a wrong password keeps it so and empties the box.
        w.INP_PASSWORD->setText(QStringLiteral("Secrets"));
        QTest::mouseClick(w.B_OK_PASSWORD, Qt::LeftButton);
        QVERIFY(w.SW_MODE[1]->isChecked());
        QCOMPARE(w.INP_PASSWORD->text(), QString());

        // Enter in the box with the right one opens enroll mode.
        w.INP_PASSWORD->setText(QStringLiteral("secret"));
        QTest::keyClick(w.INP_PASSWORD, Qt::Key_Return);
        QVERIFY(w.SW_MODE[0]->isChecked());
        QVERIFY(w.FR_MANAGE_USR->isVisibleTo(&w));
        QVERIFY(!w.FR_PASSWORD->isVisibleTo(&w));

        // The reset button asks first.
        f.dialogs.answerMessage(Dialogs::Answer::No);
        QTest::mouseClick(w.B_RESET_PASSWORD, Qt::LeftButton);
        QCOMPARE(f.dialogs.shown().size(), 1);
        QCOMPARE(f.dialogs.shown()[0].text, QStringLiteral("Do you want Reset the password ?"));

        // A click on read mode lays it out.
        w.SW_MODE[1]->click();
        QVERIFY(w.FR_READ_MODE->isVisibleTo(&w));
        QVERIFY(!w.FR_MANAGE_USR->isVisibleTo(&w));
    }

    void leavingThePrefixOrSuffixSavesTheFile()
    {
        StationFixture f(freeUdpPort());
        F_MAIN &w = f.w();
        w.show();
        w.state().setStarted(true);
        const QString cfg = w.configFile().filePath();
        for (QLineEdit *box : {w.INP_PREFIX, w.INP_SUFFIX}) {
            QFile::remove(cfg);
            box->setText(QStringLiteral("{F%1}").arg(box == w.INP_PREFIX ? 1 : 2));
            QFocusEvent leave(QEvent::FocusOut, Qt::TabFocusReason);
            QApplication::sendEvent(box, &leave);
            const QList<QByteArray> lines = readAll(cfg).split('\n');
            QCOMPARE(lines.value(2), w.INP_PREFIX->text().toLatin1() + "\r");
            QCOMPARE(lines.value(3), w.INP_SUFFIX->text().toLatin1() + "\r");
        }
        // Leaving for the box's own context menu is no leaving.
        QFile::remove(cfg);
        QFocusEvent toMenu(QEvent::FocusOut, Qt::PopupFocusReason);
        QApplication::sendEvent(w.INP_PREFIX, &toMenu);
        QVERIFY(!QFile::exists(cfg));
    }
};

QTEST_MAIN(ModeSwitchWindowTest)
#include "tst_mode_switch_window.moc"
