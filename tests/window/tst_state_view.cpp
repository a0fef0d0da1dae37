// The window as a view of the station's state: a value written into the state shows in its
// control at once, and what the operator types or ticks goes back into the state.
#include "support/StationFixture.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
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
        QTest::newRow("armed backup: field drawn black")
            << Write([](StationState &s) { s.setBackupArmed(true); }) << Read([](F_MAIN &w) {
                   return w.INP_USER_NUMBER->palette().color(QPalette::Base).name();
               })
            << "#000000";
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
