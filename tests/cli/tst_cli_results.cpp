#include "cli/ResultWriter.h"

#include "station/StationState.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <QTextStream>

class TestCliResults : public QObject
{
    Q_OBJECT

    struct Output
    {
        explicit Output(bool json) : stream(&text), writer(stream, json) {}
        QString text;
        QTextStream stream;
        ResultWriter writer;

        QJsonObject json() const
        {
            QJsonParseError error;
            const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8(), &error);
            if (error.error != QJsonParseError::NoError)
                qWarning() << error.errorString() << text;
            return document.object();
        }
    };

    static StatusResult status()
    {
        StationState state;
        state.setSourceStatus(LinkStatus::Connected);
        state.setSourceStatusDetail(QStringLiteral("/dev/ttyUSB0, 57600 baud"));
        state.setMode(StationState::Mode::Enroll);
        state.setTargets({{QStringLiteral("192.168.1.20     Hall"), true},
                          {QStringLiteral("192.168.1.21     Store"), false},
                          {QStringLiteral("10.0.0.2         "), true}});
        return StatusResult::of(state, true);
    }

private slots:
    void statusLines()
    {
        Output out(false);
        out.writer.writeStatus(status());
        QCOMPARE(out.text, QStringLiteral("link: Connected\n"
                                          "detail: /dev/ttyUSB0, 57600 baud\n"
                                          "handshake: answered\n"
                                          "mode: enroll\n"
                                          "target: 192.168.1.20     Hall\n"
                                          "target: 10.0.0.2\n"));
    }

    void statusJson()
    {
        Output out(true);
        out.writer.writeStatus(status());
        const QJsonObject object = out.json();
        QCOMPARE(object[QStringLiteral("link")].toString(), QStringLiteral("Connected"));
        QCOMPARE(object[QStringLiteral("handshakeAnswered")].toBool(), true);
        QCOMPARE(object[QStringLiteral("mode")].toString(), QStringLiteral("enroll"));
        const QJsonArray targets = object[QStringLiteral("tickedTargets")].toArray();
        QCOMPARE(targets.size(), 2);
        QCOMPARE(targets[0][QStringLiteral("address")].toString(), QStringLiteral("192.168.1.20"));
        QCOMPARE(targets[0][QStringLiteral("description")].toString(), QStringLiteral("Hall"));
        QCOMPARE(targets[1][QStringLiteral("description")].toString(), QString());
    }

    void statusBeforeAnyLink()
    {
        StationState state;
        Output out(false);
        out.writer.writeStatus(StatusResult::of(state, false));
        QCOMPARE(out.text, QStringLiteral("link: Disconnected\ndetail: \n"
                                          "handshake: not answered\nmode: none\n"));
    }

    // A unit names its users: what it sends is shown, not obeyed, in plain lines, and
    // carried intact (escaped by JSON itself) in a document.
    void users()
    {
        const QList<UserEntry> users{{QStringLiteral("12"), 2},
                                     {QStringLiteral("4294967295"), 0},
                                     {QStringLiteral("7\x1b[2J"), 1}};
        Output plain(false);
        plain.writer.writeUsers(QString(), users);
        QCOMPARE(plain.text, QStringLiteral("12\t2\n4294967295\t0\n7\\x1b[2J\t1\n"));

        Output json(true);
        json.writer.writeUsers(QStringLiteral("10.0.0.2"), users);
        QVERIFY(!json.text.contains(QChar(0x1b)));
        const QJsonObject object = json.json();
        QCOMPARE(object[QStringLiteral("unit")].toString(), QStringLiteral("10.0.0.2"));
        const QJsonArray list = object[QStringLiteral("users")].toArray();
        QCOMPARE(list.size(), 3);
        QCOMPARE(list[0][QStringLiteral("templates")].toInt(), 2);
        QCOMPARE(list[2][QStringLiteral("user")].toString(), QStringLiteral("7\x1b[2J"));

        Output source(true);
        source.writer.writeUsers(QString(), {});
        QCOMPARE(source.json()[QStringLiteral("unit")].toString(), QStringLiteral("source"));
        QCOMPARE(source.json()[QStringLiteral("users")].toArray().size(), 0);
    }

    void operation()
    {
        OperationResult result;
        result.operation = QStringLiteral("enroll");
        result.user = QStringLiteral("12");
        result.quality = QStringLiteral("87");
        result.templatesStored = 2;
        result.targetsReached = {QStringLiteral("192.168.1.20")};
        result.targetsMissed = {QStringLiteral("192.168.1.21")};

        Output plain(false);
        plain.writer.writeOperation(result);
        QCOMPARE(plain.text, QStringLiteral("user: 12\nquality: 87\ntemplates stored: 2\n"
                                            "target reached: 192.168.1.20\n"
                                            "target missed: 192.168.1.21\n"));

        Output json(true);
        json.writer.writeOperation(result);
        const QJsonObject object = json.json();
        QCOMPARE(object[QStringLiteral("operation")].toString(), QStringLiteral("enroll"));
        QCOMPARE(object[QStringLiteral("quality")].toString(), QStringLiteral("87"));
        QCOMPARE(object[QStringLiteral("templatesStored")].toInt(), 2);
        QCOMPARE(object[QStringLiteral("targetsReached")].toArray().size(), 1);
        QCOMPARE(object[QStringLiteral("targetsMissed")][0].toString(),
                 QStringLiteral("192.168.1.21"));

        // A deletion has no quality: none is reported rather than an empty one.
        result.operation = QStringLiteral("delete");
        result.quality.clear();
        Output deletion(true);
        deletion.writer.writeOperation(result);
        QVERIFY(!deletion.json().contains(QStringLiteral("quality")));
    }
};

QTEST_GUILESS_MAIN(TestCliResults)
#include "tst_cli_results.moc"
