// The window as a view of the station's state: a value written into the state shows in its
// control at once, and what the operator types or ticks goes back into the state.
#include "support/StationFixture.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <functional>

using Write = std::function<void(StationState &)>;
using Read = std::function<QString(F_MAIN &)>;
Q_DECLARE_METATYPE(Write)
Q_DECLARE_METATYPE(Read)

class StateViewTest : public QObject
{
    Q_OBJECT

    static QString focusedName(F_MAIN &w)
    {
        return w.focusWidget() ? w.focusWidget()->objectName() : QStringLiteral("none");
    }
    // The user field's background and text colours.
    static QString userFieldColours(F_MAIN &w)
    {
        const QPalette palette = w.INP_USER_NUMBER->palette();
        return palette.color(QPalette::Base).name() + QLatin1Char('|') +
               palette.color(QPalette::Text).name();
    }
    // Which picture of PIC_MSG_LIST the banner's PIC_MSG shows, or "hidden".
    static QString shownPicture(F_MAIN &w)
    {
        if (w.PIC_MSG->isHidden())
            return QStringLiteral("hidden");
        const QImage shown = w.PIC_MSG->pixmap().toImage();
        QStringList same;
        for (int i = 0; i < int(w.PIC_MSG_LIST.size()); ++i) {
            if (w.PIC_MSG_LIST[i]->pixmap().toImage() == shown)
                same.append(QString::number(i));
        }
        return same.join(QLatin1Char(','));
    }

private slots:
    void aStateValueShowsInItsControl_data()
    {
        QTest::addColumn<Write>("write");
        QTest::addColumn<Read>("shown");
        QTest::addColumn<QString>("expected");

        QTest::newRow("link up: caption and green") << Write([](StationState &s) {
            s.setSourceStatus(LinkStatus::Connected);
        }) << Read([](F_MAIN &w) {
            return w.AFF_SERIAL_STATUS->text() + QLatin1Char('|') +
                   w.AFF_SERIAL_STATUS->styleSheet();
        }) << "Connected|background-color: green;";
        QTest::newRow("link error: caption and red") << Write([](StationState &s) {
            s.setSourceStatus(LinkStatus::Connected);
            s.setSourceStatus(LinkStatus::Error);
        }) << Read([](F_MAIN &w) {
            return w.AFF_SERIAL_STATUS->text() + QLatin1Char('|') +
                   w.AFF_SERIAL_STATUS->styleSheet();
        }) << "Error|background-color: red;";
        QTest::newRow("link down again: caption and red") << Write([](StationState &s) {
            s.setSourceStatus(LinkStatus::Connected);
            s.setSourceStatus(LinkStatus::Disconnected);
        }) << Read([](F_MAIN &w) {
            return w.AFF_SERIAL_STATUS->text() + QLatin1Char('|') +
                   w.AFF_SERIAL_STATUS->styleSheet();
        }) << "Disconnected|background-color: red;";
        QTest::newRow("link detail: tooltip")
            << Write([](StationState &s) { s.setSourceStatusDetail(QStringLiteral("/dev/x")); })
            << Read([](F_MAIN &w) { return w.AFF_SERIAL_STATUS->toolTip(); }) << "/dev/x";
        QTest::newRow("user: field and both buttons") << Write([](StationState &s) {
            s.setUserText(QStringLiteral("4321"));
        }) << Read([](F_MAIN &w) {
            return w.INP_USER_NUMBER->text() + QLatin1Char('|') +
                   w.B_USER_ENROLL->text().simplified() + QLatin1Char('|') +
                   w.B_USER_DELETE->text().simplified();
        }) << "4321|Enroll user 4321|Delete user 4321";
        // The buttons name the user with its blanks trimmed, and no user when none is left.
        QTest::newRow("user with blanks around: the buttons name it") << Write([](StationState &s) {
            s.setUserText(QStringLiteral(" 42 "));
        }) << Read([](F_MAIN &w) {
            return w.B_USER_ENROLL->text() + QLatin1Char('|') + w.B_USER_DELETE->text();
        }) << "     Enroll user    42|    Delete user   42";
        QTest::newRow("user cleared: the buttons name none") << Write([](StationState &s) {
            s.setUserText(QStringLiteral("7"));
            s.setUserText(QString());
        }) << Read([](F_MAIN &w) {
            return w.B_USER_ENROLL->text() + QLatin1Char('|') + w.B_USER_DELETE->text();
        }) << "Enroll user|Delete user";
        QTest::newRow("user of blanks only: the buttons name none") << Write([](StationState &s) {
            s.setUserText(QStringLiteral("7"));
            s.setUserText(QStringLiteral("   "));
        }) << Read([](F_MAIN &w) {
            return w.B_USER_ENROLL->text() + QLatin1Char('|') + w.B_USER_DELETE->text();
        }) << "Enroll user|Delete user";
        // A check that refused a command puts the focus where the operator corrects it.
        QTest::newRow("focus asked for the user")
            << Write([](StationState &s) { emit s.focusRequested(StationState::Field::UserText); })
            << Read([](F_MAIN &w) { return focusedName(w); }) << "INP_USER_NUMBER";
        QTest::newRow("focus asked for the serial port") << Write([](StationState &s) {
            emit s.focusRequested(StationState::Field::SerialPort);
        }) << Read([](F_MAIN &w) { return focusedName(w); })
                                                         << "INP_SERIAL_PORT";
        // The operator sees that a backup is about to start: the user field turns black, its
        // text white so that the user stays readable; disarmed, it is drawn as before.
        QTest::newRow("armed backup: field drawn black, text white")
            << Write([](StationState &s) { s.setBackupArmed(true); })
            << Read([](F_MAIN &w) { return userFieldColours(w); }) << "#000000|#ffffff";
        QTest::newRow("backup disarmed again: field drawn white, text black")
            << Write([](StationState &s) {
                   s.setBackupArmed(true);
                   s.setBackupArmed(false);
               })
            << Read([](F_MAIN &w) { return userFieldColours(w); }) << "#ffffff|#000000";
        QTest::newRow("quality") << Write(
                                        [](StationState &s) { s.setQuality(QStringLiteral("87")); })
                                 << Read([](F_MAIN &w) { return w.AFF_SCORE->text(); }) << "87";
        QTest::newRow("banner lines, shown as typed") << Write([](StationState &s) {
            s.setBannerLine(0, QStringLiteral("7<h1>BIG"));
            s.setBannerLine(1, QStringLiteral("second"));
        }) << Read([](F_MAIN &w) {
            return w.AFF_MSG[0]->text() + QLatin1Char('|') + w.AFF_MSG[1]->text() +
                   QLatin1Char('|') + QString::number(w.AFF_MSG[0]->textFormat());
        }) << QStringLiteral("7<h1>BIG|second|%1").arg(int(Qt::PlainText));
        QTest::newRow("banner shown: its frame")
            << Write([](StationState &s) { s.setBannerShown(true); })
            << Read([](F_MAIN &w) { return QString::number(!w.FR_MSG->isHidden()); }) << "1";
        QTest::newRow("banner picture: that of the list")
            << Write([](StationState &s) { s.setBannerPicture(7); })
            << Read([](F_MAIN &w) { return shownPicture(w); }) << "7";
        QTest::newRow("banner picture gone: hidden") << Write([](StationState &s) {
            s.setBannerPicture(4);
            s.setBannerPicture(-1);
        }) << Read([](F_MAIN &w) { return shownPicture(w); })
                                                     << "hidden";
        QTest::newRow("log caption: the check box's text") << Write([](StationState &s) {
            s.setLogCaption(QStringLiteral("Log activity to Trelvane_31-12-2026.log"));
        }) << Read([](F_MAIN &w) {
            return w.SW_LOG->text();
        }) << "Log activity to Trelvane_31-12-2026.log";
        QTest::newRow("password asked: its frame")
            << Write([](StationState &s) { s.setPasswordPrompt(true); })
            << Read([](F_MAIN &w) { return QString::number(w.FR_PASSWORD->isVisibleTo(&w)); })
            << "1";
        QTest::newRow("password reset offered: its button")
            << Write([](StationState &s) { s.setPasswordResetOffered(true); })
            << Read([](F_MAIN &w) { return QString::number(w.B_RESET_PASSWORD->isVisibleTo(&w)); })
            << "1";
        QTest::newRow("laid out for enroll mode: users, not read mode")
            << Write([](StationState &s) {
                   s.setLaidOutMode(StationState::Mode::Read);
                   s.setLaidOutMode(StationState::Mode::Enroll);
               })
            << Read([](F_MAIN &w) {
                   return QString::number(w.FR_MANAGE_USR->isVisibleTo(&w)) +
                          QString::number(w.FR_READ_MODE->isVisibleTo(&w)) +
                          QString::number(w.state().readModeShown());
               })
            << "100";
        QTest::newRow("laid out for read mode: read mode, not users") << Write([](StationState &s) {
            s.setLaidOutMode(StationState::Mode::Read);
        }) << Read([](F_MAIN &w) {
            return QString::number(w.FR_MANAGE_USR->isVisibleTo(&w)) +
                   QString::number(w.FR_READ_MODE->isVisibleTo(&w)) +
                   QString::number(w.state().readModeShown());
        }) << "011";
        QTest::newRow("target units hidden: their frame")
            << Write([](StationState &s) { s.setTargetFrameShown(false); })
            << Read([](F_MAIN &w) { return QString::number(w.FR_TARGET->isVisibleTo(&w)); }) << "0";
        QTest::newRow("sync progress: the bar, its text and its name")
            << Write([](StationState &s) {
                   s.setSyncProgress({true, 2, 3, QStringLiteral("2 of 3 files")});
               })
            << Read([](F_MAIN &w) {
                   const QProgressBar *bar = w.PRG_SYNC_NEW_UNIT;
                   return QStringList{
                       QString::number(!bar->isHidden()), QString::number(bar->value()),
                       QString::number(bar->maximum()), bar->text(), bar->accessibleName()}
                       .join(QLatin1Char('|'));
               })
            << "1|2|3|2 of 3 files|Synchronization progress: 2 of 3 files";
        QTest::newRow("sync over: the bar hidden, its last text kept")
            << Write([](StationState &s) {
                   s.setSyncProgress({true, 3, 3, QStringLiteral("3 of 3 files")});
                   s.setSyncProgress({false, 3, 3, QStringLiteral("3 of 3 files")});
               })
            << Read([](F_MAIN &w) {
                   return QString::number(!w.PRG_SYNC_NEW_UNIT->isHidden()) + QLatin1Char('|') +
                          w.PRG_SYNC_NEW_UNIT->accessibleName();
               })
            << "0|Synchronization progress: 3 of 3 files";
        QTest::newRow("why the prefix and suffix cannot be typed: their tooltips")
            << Write([](StationState &s) {
                   s.setPrefixProblem(QStringLiteral("Prefix not valid"));
                   s.setSuffixProblem(QStringLiteral("Suffix not valid"));
               })
            << Read([](F_MAIN &w) {
                   return w.INP_PREFIX->toolTip() + QLatin1Char('|') + w.INP_SUFFIX->toolTip();
               })
            << "Prefix not valid|Suffix not valid";
        QTest::newRow("why read mode cannot type: its frame's tooltip")
            << Write([](StationState &s) { s.setTypingProblem(QStringLiteral("No display")); })
            << Read([](F_MAIN &w) { return w.FR_READ_MODE->toolTip(); }) << "No display";
        QTest::newRow("handshake pending: error panel")
            << Write([](StationState &s) { s.setHandshakePending(true); })
            << Read([](F_MAIN &w) { return QString::number(!w.FR_ERROR->isHidden()); }) << "1";
        QTest::newRow("busy: window disabled")
            << Write([](StationState &s) { s.setBusy(true); })
            << Read([](F_MAIN &w) { return QString::number(w.isEnabled()); }) << "0";
        QTest::newRow("folders") << Write([](StationState &s) {
            s.setConfigFolder(QStringLiteral("/c/"));
            s.setTemplatesFolder(QStringLiteral("/t/"));
        }) << Read([](F_MAIN &w) {
            return w.AFF_CURDIR->text() + QLatin1Char('|') + w.AFF_DIR_TEMPLATES->text();
        }) << "/c/|/t/";
        QTest::newRow("targets: lines and ticks") << Write([](StationState &s) {
            s.setTargets({{QStringLiteral("10.0.0.1         door"), true},
                          {QStringLiteral("10.0.0.2"), false}});
        }) << Read([](F_MAIN &w) {
            QStringList shown;
            for (int row = 0; row < w.LST_IP->count(); ++row)
                shown << w.LST_IP->item(row)->text() +
                             (w.LST_IP->item(row)->checkState() == Qt::Checked
                                  ? QStringLiteral("+")
                                  : QStringLiteral("-"));
            return shown.join(QLatin1Char('|'));
        }) << "10.0.0.1         door+|10.0.0.2-";
        QTest::newRow("selected link")
            << Write([](StationState &s) { s.setSelectedLink(StationState::Link::Tcp); })
            << Read([](F_MAIN &w) { return QString::number(w.SW_COMM[1]->isChecked()); }) << "1";
        QTest::newRow("read mode's last user") << Write([](StationState &s) {
            s.setLastUser({QStringLiteral("12"), QStringLiteral("01-02-2026"),
                           QStringLiteral("10:11:12"), QStringLiteral("192.0.2.1")});
        }) << Read([](F_MAIN &w) {
            return QStringList{w.AFF_LST_USER->text(), w.AFF_LST_USER_DATE->text(),
                               w.AFF_LST_USER_TIME->text(), w.AFF_IP_SERVER->text()}
                .join(QLatin1Char('|'));
        }) << "12|01-02-2026|10:11:12|192.0.2.1";
    }
    void aStateValueShowsInItsControl()
    {
        QFETCH(Write, write);
        QFETCH(Read, shown);
        QFETCH(QString, expected);
        StationFixture f;
        write(f.w().state());
        QCOMPARE(shown(f.w()), expected);
    }

    void whatTheOperatorTypesAndTicksGoesIntoTheState()
    {
        StationFixture f;
        F_MAIN &w = f.w();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.INP_USER_NUMBER->setFocus();
        QTest::keyClicks(w.INP_USER_NUMBER, QStringLiteral("55"));
        QCOMPARE(w.state().userText(), QStringLiteral("55"));
        w.INP_PREFIX->setText(QStringLiteral("{TAB}"));
        QCOMPARE(w.state().prefix(), QStringLiteral("{TAB}"));
        w.SW_LOG->click();
        QCOMPARE(w.state().logging(), w.SW_LOG->isChecked());
        w.SW_COMM[0]->click();
        QCOMPARE(w.state().selectedLink(), StationState::Link::Serial);

        w.state().setTargets(
            {{QStringLiteral("10.0.0.1"), true}, {QStringLiteral("10.0.0.2"), true}});
        w.LST_IP->item(1)->setCheckState(Qt::Unchecked); // the operator unticks the second
        QCOMPARE(w.state().usableTickedAddresses(), QStringList{QStringLiteral("10.0.0.1")});
        w.LST_IP->setCurrentRow(1);
        QCOMPARE(w.state().currentTarget(), 1);
    }
};

QTEST_MAIN(StateViewTest)
#include "tst_state_view.moc"
