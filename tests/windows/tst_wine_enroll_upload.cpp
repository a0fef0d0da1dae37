// One enrollment from the button to the copies on a target unit, on Windows: the station on a
// Wine COM port wired to the Linux simulated unit (tests/windows/with-unit), a second
// simulated unit in this process as the ticked target over UDP on loopback. The templates
// are compared byte for byte: the station's files, the target's copies, and what the source
// unit says it holds.
#include "config/TargetList.h"
#include "enroll/TemplateStore.h"
#include "link/SerialLink.h"
#include "support/StationFixture.h"
#include "unit-sim/SimulatedUnit.h"
#include "windows/WineUnit.h"

#include <QCryptographicHash>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTimer>
#include <QtTest>

namespace {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// The SHA-256 of each template the source unit holds for the user, from its answer to
// "users" (empty until the answer is there).
QStringList unitHashesOf(quint32 user)
{
    const QString output =
        QString::fromLatin1(readFile(qEnvironmentVariable("TRELVANE_UNIT_OUTPUT")));
    const QRegularExpression line(
        QStringLiteral("^user %1 templates \\d+ sizes \\S+ sha256 (\\S+)$").arg(user),
        QRegularExpression::MultilineOption);
    const auto match = line.match(output);
    return match.hasMatch() ? match.captured(1).split(u',') : QStringList();
}

QString sha256Of(const QByteArray &bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

} // namespace

class WineEnrollUploadTest : public QObject
{
    Q_OBJECT

private slots:
    void enrolledTemplatesReachTheStoreAndTheTargetUnit()
    {
        if (unitPort().isEmpty())
            QSKIP("Needs the Linux simulated unit behind a Wine COM port: run through "
                  "tests/windows/with-unit (the Windows lane does).");
        SimulatedUnit target;
        QVERIFY(target.listenUdp(0, QHostAddress::LocalHost));
        StationFixture f(target.udpPort());
        F_MAIN &w = f.w();
        f.clock.setRealTimeFactor(0.5);
        f.enableLog();

        w.SW_COMM[0]->setChecked(true);
        w.Serial->setDevicePath(unitPort());
        QVERIFY2(w.Serial->open(), qPrintable(w.Serial->errorString()));
        w.SERIAL_RX->start();
        w.state().setSourceStatus(LinkStatus::Connected);
        w.SW_MODE[0]->setChecked(true); // enroll mode: the user frame arms the backup trigger
        w.targetList().addEntry(TargetList::entryText(QStringLiteral("127.0.0.1"), "target unit"));

        // The operator asks for the enrollment; a moment later the finger is on the sensor,
        // and the unit sends its frames in pieces, as a unit does while the capture goes on.
        w.INP_USER_NUMBER->setText(QStringLiteral("12345"));
        w.B_USER_ENROLL->click();
        QTest::qWait(1000);
        QVERIFY(tellUnit("split 13"));
        QVERIFY(tellUnit("finger 12345 55 87"));
        QTRY_COMPARE_WITH_TIMEOUT(w.AFF_SCORE->text(), QStringLiteral("87"), 10000);

        // The trigger fires by itself and the backup runs to its end.
        QTRY_COMPARE_WITH_TIMEOUT(w.AFF_MSG[1]->text(),
                                  QStringLiteral("Enrollment and Synchronization Complete"), 30000);
        QCOMPARE(w.AFF_MSG[0]->text(), QStringLiteral("User: 12345  Template quality: 87%"));

        QCOMPARE(w.templateStore().list(QStringLiteral("12345")),
                 (QStringList{"12345-01.DAT", "12345-02.DAT"}));
        const QList<QByteArray> stored{readFile(f.folder() + "12345-01.DAT"),
                                       readFile(f.folder() + "12345-02.DAT")};
        QVERIFY(!stored[0].isEmpty() && !stored[1].isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(target.templates(12345), stored, 10000);

        QVERIFY(tellUnit("users"));
        QStringList hashes;
        QTRY_VERIFY_WITH_TIMEOUT(!(hashes = unitHashesOf(12345)).isEmpty(), 5000);
        QCOMPARE(hashes, (QStringList{sha256Of(stored[0]), sha256Of(stored[1])}));
    }
};

QTEST_MAIN(WineEnrollUploadTest)
#include "tst_wine_enroll_upload.moc"
