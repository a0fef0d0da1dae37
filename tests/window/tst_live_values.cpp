// What a screen reader hears from the labels that show a changing value: their current text
// as their name, their role as their description, and a name-changed event each time the
// station writes a new value. Checked through Qt's accessibility layer, with the platform's
// accessibility switched on as an assistive technology would.
#include "link/Supervision.h"
#include "support/StationFixture.h"

#include <QAccessible>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

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

void recordAnnouncement(QAccessibleEvent *event)
{
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
    void init() { announcements.clear(); }

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
};

QTEST_MAIN(LiveValuesTest)
#include "tst_live_values.moc"
