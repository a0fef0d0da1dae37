// What a screen reader hears from the labels that show a changing value: their current text
// as their name, their role as their description, and a name-changed event each time the
// station writes a new value. Checked through Qt's accessibility layer, with the platform's
// accessibility switched on as an assistive technology would.
#include "link/Banner.h"
#include "link/Supervision.h"
#include "support/StationFixture.h"

#include <QAccessible>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <algorithm>

#include <QtGui/private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>

namespace {

// Every name-changed event raised while a test runs: the object and its name at that moment.
struct Announcement
{
    QObject *object;
    QString name;
};
QList<Announcement> announcements;
// Every object shown (again) to assistive technology, with its name and role at that moment.
struct Shown
{
    QObject *object;
    QAccessible::Role role;
};
QList<Shown> shownObjects;
// Every object said to have become enabled or disabled.
QList<QObject *> enabledChanges;

void recordAnnouncement(QAccessibleEvent *event)
{
    if (event->type() == QAccessible::StateChanged &&
        static_cast<QAccessibleStateChangeEvent *>(event)->changedStates().disabled) {
        enabledChanges.append(event->object());
        return;
    }
    if (event->type() == QAccessible::ObjectShow && event->object()) {
        QAccessibleInterface *accessible = event->accessibleInterface();
        shownObjects.append(
            {event->object(), accessible ? accessible->role() : QAccessible::NoRole});
        return;
    }
    if (event->type() != QAccessible::NameChanged || !event->object())
        return;
    QAccessibleInterface *accessible = event->accessibleInterface();
    announcements.append(
        {event->object(), accessible ? accessible->text(QAccessible::Name) : QString()});
}

QStringList announcedNamesOf(const QObject *object)
{
    QStringList names;
    for (const Announcement &a : std::as_const(announcements))
        if (a.object == object)
            names << a.name;
    return names;
}

QString accessibleText(QWidget *widget, QAccessible::Text kind)
{
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(widget);
    return accessible ? accessible->text(kind) : QStringLiteral("<no interface>");
}

enum class Writer { BannerLine1, BannerLine2, SerialPortOpened, SerialPortMissing };

} // namespace

Q_DECLARE_METATYPE(Writer)

class LiveValuesTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QPlatformAccessibility *platform =
            QGuiApplicationPrivate::platformIntegration()->accessibility();
        if (!platform)
            QSKIP("This platform offers no accessibility layer");
        QAccessible::installUpdateHandler(recordAnnouncement);
        platform->setActive(true);
        QVERIFY(QAccessible::isActive());
    }
    void init()
    {
        announcements.clear();
        shownObjects.clear();
        enabledChanges.clear();
    }

    // A screen reader takes some fifty events at once for a flood and drops what it has not
    // read yet, the banner's notification among them. While an operation is under way the
    // whole window is disabled: only the window and the control that had the focus say so.
    void aBannerThatDisablesTheWindowIsNotDrownedInStateChanges()
    {
        StationFixture f;
        F_MAIN &w = f.w();
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.INP_SERIAL_PORT->setFocus();
        QTRY_VERIFY(w.INP_SERIAL_PORT->hasFocus());
        QCoreApplication::processEvents();
        enabledChanges.clear();
        shownObjects.clear();

        w.AFF_LOG_MSG(QStringLiteral("Place your finger on sensor and wait ..."), 1);
        w.AFF_LOG_MSG(QStringLiteral("User Enrollment"), 2);
        QCoreApplication::processEvents();
        QVERIFY(!w.isEnabled());
        QVERIFY(enabledChanges.contains(&w));
        QVERIFY(enabledChanges.contains(w.INP_SERIAL_PORT));
        QVERIFY2(enabledChanges.size() <= 3, qPrintable(QString::number(enabledChanges.size())));
        QVERIFY(std::any_of(shownObjects.cbegin(), shownObjects.cend(),
                            [&](const Shown &s) { return s.object == w.FR_MSG; }));
        // Reviewing the window finds the banner, not the controls it is laid over.
        QVERIFY(QAccessible::queryAccessibleInterface(w.FR_SOURCE)->state().invisible);
        // Read out late, when the banner may have gone, the notification still says this.
        QCOMPARE(accessibleText(w.FR_MSG, QAccessible::Name),
                 QStringLiteral("Place your finger on sensor and wait ... User Enrollment"));

        // The countdown gives the window back, as quietly.
        enabledChanges.clear();
        w.AFF_LOG_MSG(QStringLiteral("Enrollment and Synchronization Complete"), 1);
        w.TIM_HIDE_MSG_Tag = QString::number(Banner::kActOnCountdown);
        w.banner().TIM_HIDE_MSG_Timer();
        QVERIFY(w.isEnabled());
        QVERIFY(enabledChanges.contains(&w));
        QVERIFY(enabledChanges.contains(w.INP_SERIAL_PORT)); // told it was disabled
        QVERIFY(!QAccessible::queryAccessibleInterface(w.FR_SOURCE)->state().invisible);
        QVERIFY2(enabledChanges.size() <= 3, qPrintable(QString::number(enabledChanges.size())));
    }

    // Qt gives the focus to nobody when a disabled window is enabled again: after every
    // operation an operator working by keyboard, and the screen reader that follows the
    // focus, would be left nowhere. The control that had it gets it back, unless the
    // operation hid it.
    void theFocusComesBackWhenTheBannerGivesTheWindowBack_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<bool>("hiddenMeanwhile");
        QTest::newRow("serial port box") << "INP_SERIAL_PORT" << false;
        QTest::newRow("Save Configuration button") << "B_SAVE_CFG" << false;
        QTest::newRow("a control the operation hid") << "B_SAVE_CFG" << true;
    }
    void theFocusComesBackWhenTheBannerGivesTheWindowBack()
    {
        QFETCH(QString, control);
        QFETCH(bool, hiddenMeanwhile);
        StationFixture f;
        F_MAIN &w = f.w();
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        auto *focused = w.findChild<QWidget *>(control);
        QVERIFY(focused);
        focused->setFocus();
        QTRY_VERIFY(focused->hasFocus());

        w.AFF_LOG_MSG(QStringLiteral("Delete User: 7"), 1);
        QCoreApplication::processEvents();
        QVERIFY(!w.isEnabled());
        QVERIFY(!focused->hasFocus());
        if (hiddenMeanwhile)
            focused->hide();
        w.TIM_HIDE_MSG_Tag = QString::number(Banner::kActOnCountdown);
        w.banner().TIM_HIDE_MSG_Timer();
        QVERIFY(w.isEnabled());
        QCoreApplication::processEvents();

        if (hiddenMeanwhile) {
            QVERIFY(QApplication::focusWidget() != focused);
        } else {
            QTRY_VERIFY(focused->hasFocus());
            // Keys typed into the window reach it again.
            if (auto *box = qobject_cast<QLineEdit *>(focused)) {
                box->clear();
                QTest::keyClick(w.windowHandle(), Qt::Key_4);
                QCOMPARE(box->text(), QStringLiteral("4"));
            }
        }
    }

    void everyLiveLabelIsNamedByItsValueAndDescribedByItsRole_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("role");
        const auto row = [](const char *control, const char *role) {
            QTest::newRow(control) << QString::fromLatin1(control) << QString::fromLatin1(role);
        };
        row("AFF_MSG_0", "Message line 1");
        row("AFF_MSG_1", "Message line 2");
        row("AFF_MSG_2", "Source unit error");
        row("AFF_SERIAL_STATUS", "Serial status");
        row("AFF_TCP_STATUS", "TCP status");
        row("AFF_SCORE", "Template quality");
        row("AFF_LST_USER", "Last user read");
        row("AFF_LST_USER_DATE", "Date of the last read");
        row("AFF_LST_USER_TIME", "Time of the last read");
        row("AFF_DIR_TEMPLATES", "Templates folder");
        row("AFF_CURDIR", "Configuration folder");
        row("AFF_IP_SERVER", "Trelvane IP address");
    }
    void everyLiveLabelIsNamedByItsValueAndDescribedByItsRole()
    {
        QFETCH(QString, control);
        QFETCH(QString, role);
        StationFixture f;
        auto *label = f.w().findChild<QLabel *>(control);
        QVERIFY(label);
        QCOMPARE(accessibleText(label, QAccessible::Name), label->text());
        QCOMPARE(accessibleText(label, QAccessible::Description), role);

        announcements.clear();
        label->setText(QStringLiteral("A new value"));
        QCOMPARE(accessibleText(label, QAccessible::Name), QStringLiteral("A new value"));
        QCOMPARE(announcedNamesOf(label), QStringList{QStringLiteral("A new value")});
        QCOMPARE(accessibleText(label, QAccessible::Description), role);
    }

    void bannerAndStatusAreAnnouncedAsTheStationWritesThem_data()
    {
        QTest::addColumn<Writer>("writer");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("spoken");
        QTest::newRow("operator prompt on line 1") << Writer::BannerLine1 << "AFF_MSG_0"
                                                   << "Place your finger on sensor and wait ...";
        QTest::newRow("end of an enrollment on line 2")
            << Writer::BannerLine2 << "AFF_MSG_1"
            << "Enrollment and Synchronization Complete";
        QTest::newRow("link comes up") << Writer::SerialPortOpened << "AFF_SERIAL_STATUS"
                                       << "Connected";
        QTest::newRow("port cannot be opened") << Writer::SerialPortMissing << "AFF_SERIAL_STATUS"
                                               << "Error";
    }
    void bannerAndStatusAreAnnouncedAsTheStationWritesThem()
    {
        QFETCH(Writer, writer);
        QFETCH(QString, control);
        QFETCH(QString, spoken);
        StationFixture f;
        auto *label = f.w().findChild<QLabel *>(control);
        QVERIFY(label);
        f.w().supervision().selectLink(0); // the serial link, as start-up selects it
        announcements.clear();

        switch (writer) {
        case Writer::BannerLine1:
            f.w().AFF_LOG_MSG(spoken, 1);
            break;
        case Writer::BannerLine2:
            f.w().AFF_LOG_MSG(spoken, 2);
            break;
        case Writer::SerialPortOpened:
            QVERIFY(f.peer().open(f.folder() + QStringLiteral("COM1")));
            f.w().INP_SERIAL_PORT->setText(QStringLiteral("1"));
            f.w().supervision().TIM_SERIAL_CONNECT_Timer();
            break;
        case Writer::SerialPortMissing:
            QVERIFY(QFile::link(f.folder() + QStringLiteral("nothing"),
                                f.folder() + QStringLiteral("COM2")));
            f.w().INP_SERIAL_PORT->setText(QStringLiteral("2"));
            f.w().supervision().TIM_SERIAL_CONNECT_Timer();
            break;
        }

        QCOMPARE(label->text(), spoken);
        QCOMPARE(accessibleText(label, QAccessible::Name), spoken);
        QVERIFY2(announcedNamesOf(label).contains(spoken),
                 qPrintable(announcedNamesOf(label).join(QStringLiteral(" | "))));
    }

    // A screen reader speaks a label's new text by itself only when something it reads out
    // unasked carries it: the banner and the serial status are notifications, shown again
    // (once for the writes of one moment) each time they change, with the labels inside
    // still named by their text for a review of the window.
    void bannerAndStatusAreShownAsNotificationsAsTheyChange_data()
    {
        QTest::addColumn<Writer>("writer");
        QTest::addColumn<QString>("region");
        QTest::newRow("banner line 1") << Writer::BannerLine1 << "FR_MSG";
        QTest::newRow("banner line 2") << Writer::BannerLine2 << "FR_MSG";
        QTest::newRow("link comes up") << Writer::SerialPortOpened << "AFF_SERIAL_STATUS";
        QTest::newRow("port cannot be opened") << Writer::SerialPortMissing << "AFF_SERIAL_STATUS";
    }
    void bannerAndStatusAreShownAsNotificationsAsTheyChange()
    {
        QFETCH(Writer, writer);
        QFETCH(QString, region);
        StationFixture f;
        QWidget *notification = f.w().findChild<QWidget *>(region);
        QVERIFY(notification);
        f.w().supervision().selectLink(0);
        f.w().show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.w()));
        QCOMPARE(QAccessible::queryAccessibleInterface(notification)->role(),
                 QAccessible::Notification);
        QCoreApplication::processEvents();
        shownObjects.clear();

        switch (writer) {
        case Writer::BannerLine1:
        case Writer::BannerLine2:
            // The banner is up already; two lines written one after the other are read out
            // once, together.
            f.w().AFF_LOG_MSG(QStringLiteral("Remove your finger from the sensor"), 1);
            QCoreApplication::processEvents();
            shownObjects.clear();
            f.w().AFF_LOG_MSG(QStringLiteral("User: 12  Template quality: 80%"), 1);
            f.w().AFF_LOG_MSG(QStringLiteral("Enrollment and Synchronization Complete"), 2);
            break;
        case Writer::SerialPortOpened:
            QVERIFY(f.peer().open(f.folder() + QStringLiteral("COM1")));
            f.w().INP_SERIAL_PORT->setText(QStringLiteral("1"));
            f.w().supervision().TIM_SERIAL_CONNECT_Timer();
            break;
        case Writer::SerialPortMissing:
            QVERIFY(QFile::link(f.folder() + QStringLiteral("nothing"),
                                f.folder() + QStringLiteral("COM2")));
            f.w().INP_SERIAL_PORT->setText(QStringLiteral("2"));
            f.w().supervision().TIM_SERIAL_CONNECT_Timer();
            break;
        }
        QCoreApplication::processEvents();

        const auto shownHere =
            std::count_if(shownObjects.cbegin(), shownObjects.cend(), [&](const Shown &s) {
                return s.object == notification && s.role == QAccessible::Notification;
            });
        QCOMPARE(shownHere, 1);
        if (region == QLatin1String("AFF_SERIAL_STATUS")) {
            auto *status = static_cast<QLabel *>(notification);
            QCOMPARE(accessibleText(status, QAccessible::Name), status->text());
            QCOMPARE(accessibleText(status, QAccessible::Description),
                     QStringLiteral("Serial status"));
        } else {
            QCOMPARE(accessibleText(f.w().AFF_MSG[1], QAccessible::Name),
                     QStringLiteral("Enrollment and Synchronization Complete"));
            QCOMPARE(QAccessible::queryAccessibleInterface(f.w().AFF_MSG[1])->role(),
                     QAccessible::StaticText);
        }
    }
};

QTEST_MAIN(LiveValuesTest)
#include "tst_live_values.moc"
