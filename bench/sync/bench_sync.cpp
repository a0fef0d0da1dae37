// Times a backup with its synchronization, and a long run of uploads, against the sum of
// the pauses the station is designed to make. Uses the real clock: it takes as long as the
// pauses do (about 20 s plus 0.6 s per uploaded template).
//
//   bench_sync [--templates N]   (N templates uploaded to one target; 500 by default, 0 skips)

#include "app/F_MAIN.h"
#include "config/TargetList.h"
#include "enroll/TemplateBackup.h"
#include "enroll/TemplateStore.h"
#include "link/SerialLink.h"
#include "platform/Clock.h"
#include "platform/ScriptedDialogs.h"
#include "support/DatagramListener.h"
#include "support/RealStation.h"
#include "sync/TemplateUpload.h"
#include "unit-sim/SimulatedUnit.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace {

constexpr double kReplyWait = 0.6;    // per request of a fetch
constexpr double kUploadPauses = 0.6; // 0.1 + 0.2 + 0.1 + 0.1 + 0.1 per upload
constexpr double kPassPause = 0.2;
constexpr int kPasses = 3;

// Wall time against the design's pauses, split into the station's own work (time outside
// its waits) and the system's lateness in ending the waits.
void report(const char *what, double wallS, double designS, double inWaitsS)
{
    const double ownS = wallS - inWaitsS;
    std::printf("%s\n  wall %.3f s, design pauses %.3f s, ratio %.4f, overhead %.2f %%\n"
                "  of which the station's own work %.3f s (%.2f %%) and waits ending late %.3f s "
                "(%.2f %%)\n",
                what, wallS, designS, wallS / designS, (wallS - designS) / designS * 100.0, ownS,
                ownS / designS * 100.0, inWaitsS - designS, (inWaitsS - designS) / designS * 100.0);
    std::fflush(stdout);
}

bool backupToThreeTargets()
{
    constexpr int kTemplates = 3;
    DatagramListener targets[3];
    if (!targets[0].bind(QHostAddress(QStringLiteral("127.0.0.1"))))
        return false;
    for (int i = 1; i < 3; ++i)
        if (!targets[i].bind(QHostAddress(QStringLiteral("127.0.0.%1").arg(i + 1)),
                             targets[0].port()))
            return false;

    RealStation s(targets[0].port(), RealStation::Poll::Running);
    SimulatedUnit source;
    const QString com1 = s.folder + QStringLiteral("COM1");
    if (!source.listenSerial(com1))
        return false;
    source.addUser(12345, kTemplates, 384);
    s.w->SW_COMM[0]->setChecked(true);
    s.w->Serial->setDevicePath(com1);
    if (!s.w->Serial->open())
        return false;
    for (int i = 0; i < 3; ++i)
        s.w->targetList().addEntry(
            TargetList::entryText(QStringLiteral("127.0.0.%1").arg(i + 1), QStringLiteral("t")));

    QElapsedTimer timer;
    s.clock.reset();
    timer.start();
    s.w->templateBackup().backup(QStringLiteral("12345"));
    const double wall = timer.nsecsElapsed() / 1e9;
    const double inWaits = s.clock.secondsInWaits();

    // The three targets share each upload's pauses.
    const double design =
        (kTemplates + 1) * kReplyWait + kPasses * (kTemplates * kUploadPauses + kPassPause);
    report("Backup of 1 user with 3 templates, synchronized to 3 targets:", wall, design, inWaits);
    const int stored = s.w->templateStore().list(QStringLiteral("12345")).size();
    int received = 0;
    for (DatagramListener &t : targets)
        received += t.drain(200).size();
    std::printf("  templates stored %d of %d, datagrams received %d of %d\n", stored, kTemplates,
                received, kPasses * kTemplates * 3 * 4);
    return true;
}

bool uploadStore(int templates)
{
    DatagramListener target;
    if (!target.bind())
        return false;
    RealStation s(target.port(), RealStation::Poll::Running);
    for (int n = 1; n <= templates; ++n) {
        const QString user = QString::number(1000 + n);
        if (!s.w->templateStore().write(user, 1, QByteArray(384, static_cast<char>(n))))
            return false;
    }
    const QStringList names = s.w->templateStore().listAll();

    int received = 0;
    int sent = 0;
    QElapsedTimer timer;
    s.clock.reset();
    timer.start();
    for (const QString &name : names) {
        sent += s.w->templateUpload().UPLOAD_TEMPLATE(
                    TemplateStore::userOf(name), s.folder + name, QStringLiteral("127.0.0.1"),
                    QStringLiteral("Synchronize new Trelvane unit."),
                    TemplateStore::templateNumberOf(name))
                    ? 1
                    : 0;
        received += target.take(0, 0).size(); // keep the socket buffer from filling up
    }
    const double wall = timer.nsecsElapsed() / 1e9;
    const double inWaits = s.clock.secondsInWaits();
    received += target.drain(200).size();

    const double design = names.size() * kUploadPauses;
    const QString title =
        QStringLiteral("Store of %1 templates uploaded to one target:").arg(names.size());
    report(qPrintable(title), wall, design, inWaits);
    std::printf("  per template: wall %.2f ms, design %.2f ms, overhead %.3f ms\n",
                wall * 1000.0 / names.size(), kUploadPauses * 1000.0,
                (wall - design) * 1000.0 / names.size());
    std::printf("  uploads completed %d of %lld, datagrams received %d of %lld\n", sent,
                static_cast<long long>(names.size()), received,
                static_cast<long long>(names.size() * 4));
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int templates = 500;
    const QStringList args = app.arguments();
    const qsizetype at = args.indexOf(QStringLiteral("--templates"));
    if (at >= 0 && at + 1 < args.size())
        templates = qMax(0, args[at + 1].toInt());

    if (!backupToThreeTargets()) {
        std::fprintf(stderr, "backup scenario could not be set up\n");
        return 1;
    }
    if (templates > 0 && !uploadStore(templates)) {
        std::fprintf(stderr, "upload scenario could not be set up\n");
        return 1;
    }
    return 0;
}
