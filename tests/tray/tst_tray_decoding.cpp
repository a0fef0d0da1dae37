// What each report of the tray icon does, without a desktop: the icon's reports are decoded
// into the platform's mouse messages, and only a left press or a double click restores the
// window.
#include "app/TrayIcon.h"
#include "support/FreePort.h"
#include "support/StationFixture.h"

#include <QApplication>
#include <QTest>

class TrayDecodingTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void onlyLeftPressAndDoubleClickRestoreTheWindow_data()
    {
        QTest::addColumn<QSystemTrayIcon::ActivationReason>("reason");
        QTest::addColumn<int>("message");
        QTest::addColumn<bool>("restores");
        QTest::newRow("left press") << QSystemTrayIcon::Trigger << 513 << true;
        QTest::newRow("double click") << QSystemTrayIcon::DoubleClick << 515 << true;
        QTest::newRow("right click") << QSystemTrayIcon::Context << 517 << false;
        QTest::newRow("middle click") << QSystemTrayIcon::MiddleClick << 519 << false;
        QTest::newRow("anything else") << QSystemTrayIcon::Unknown << 512 << false;
    }
    void onlyLeftPressAndDoubleClickRestoreTheWindow()
    {
        QFETCH(QSystemTrayIcon::ActivationReason, reason);
        QFETCH(int, message);
        QFETCH(bool, restores);
        StationFixture f(freeUdpPort());
        f.w().showMinimized();
        f.w().hide();

        emit f.w().trayIcon().icon().activated(reason);

        QCOMPARE(f.w().TRAY_EVENT, message);
        QCOMPARE(f.w().isVisible(), restores);
        if (restores)
            QVERIFY(!(f.w().windowState() & Qt::WindowMinimized));
    }

    // The design's record: the mouse message arrives as X = message x twips per pixel.
    void mouseMessageIsDecodedFromTwips()
    {
        StationFixture f(freeUdpPort());
        f.w().trayIcon().pichook_MouseMove(0, 0, 513 * TrayIcon::twipsPerPixelX() + 0.4, 0);
        QCOMPARE(f.w().TRAY_EVENT, 513);
        QVERIFY(f.w().isVisible());
    }

    void addDoesNothingBeforeTheRecordIsFilled()
    {
        StationFixture f(freeUdpPort());
        f.w().trayIcon().add();
        QVERIFY(!f.w().trayIcon().isShown());
        QCOMPARE(f.w().TRAY_ICON_DATA.size, 0u);

        f.w().setWindowTitle(QStringLiteral("a caption longer than the tip field of sixty-four "
                                            "characters, which is cut"));
        f.w().trayIcon().fillData();
        f.w().trayIcon().add();
        QVERIFY(f.w().trayIcon().isShown());
        QCOMPARE(f.w().TRAY_ICON_DATA.tip.size(), 64);
        QCOMPARE(f.w().TRAY_ICON_DATA.tip, f.w().windowTitle().left(64));
        // Filled once: a later caption does not change the tip.
        const QString tip = f.w().TRAY_ICON_DATA.tip;
        f.w().setWindowTitle(QStringLiteral("other"));
        f.w().trayIcon().fillData();
        QCOMPARE(f.w().TRAY_ICON_DATA.tip, tip);
    }
};

QTEST_MAIN(TrayDecodingTest)
#include "tst_tray_decoding.moc"
