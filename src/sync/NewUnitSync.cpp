#include "sync/NewUnitSync.h"

#include "enroll/TemplateStore.h"
#include "log/BannerLines.h"
#include "log/Waits.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "station/StationState.h"
#include "sync/TemplateUpload.h"

#include <QCoreApplication>

#include <cmath>

namespace {

const QString kPrompt = QStringLiteral("Enter the IP address of this new unit:\r\n* To synchronize "
                                       "the local serial unit, enter: COM ");
const QString kTitle = QStringLiteral("Synchronize new Trelvane unit");
constexpr int kMinAddressLength = 8;

} // namespace

NewUnitSync::NewUnitSync(StationState &state, Clock &clock, Dialogs &dialogs, BannerLines &banner,
                         Waits &waits, TemplateStore &store, TemplateUpload &upload)
    : m_state(state), m_clock(clock), m_dialogs(dialogs), m_banner(banner), m_waits(waits),
      m_store(store), m_upload(upload)
{}

QList<NewUnitSync::TemplateFile> NewUnitSync::uploadable(const QStringList &names)
{
    QList<TemplateFile> result;
    for (const QString &name : names) {
        if (const std::optional<UserNumber> user = UserNumber::fromFileName(name))
            result.append({name, *user});
    }
    return result;
}

QString NewUnitSync::progressText(int done, int total, int secondsLeft)
{
    QString left;
    if (secondsLeft >= 60)
        left = QStringLiteral("%1 min %2 s").arg(secondsLeft / 60).arg(secondsLeft % 60);
    else
        left = QStringLiteral("%1 s").arg(secondsLeft);
    return QStringLiteral("%1 of %2 files, %3 left").arg(done).arg(total).arg(left);
}

void NewUnitSync::B_SYNCHRONIZE_NEW_UNIT_Click()
{
    // The loop serves events between files: a second click meanwhile would start a second
    // run inside the first and send every file twice, interleaved.
    if (m_running)
        return;
    const QStringList listing = m_store.listAll();
    QString &ID_IP = m_state.ID_IP;
    if (ID_IP.isEmpty() && !m_state.targets().isEmpty())
        ID_IP = m_state.targets().first().line.left(17).trimmed();
    ID_IP = m_dialogs.inputBox(kPrompt, kTitle, ID_IP);
    const QString answer = ID_IP;
    if (answer.trimmed().isEmpty())
        return;
    if (!m_state.sourceUp()) {
        m_dialogs.beep(2);
        emit m_state.focusRequested(StationState::Field::SerialPort);
        emit m_state.windowWanted();
        m_dialogs.messageBox(QStringLiteral("Serial port error"),
                             QStringLiteral("Invalid serial port number"), Dialogs::Icon::Critical);
        return;
    }
    m_banner.AFF_LOG_MSG(QStringLiteral("Synchronize new Trelvane unit: ") + answer, 1);
    m_banner.AFF_LOG_MSG(QString(), 2);
    m_waits.ID_PAUSE(kBeforeFirstUpload);
    if (!answer.toUpper().contains(QStringLiteral("COM")) &&
        answer.trimmed().size() < kMinAddressLength)
        return;
    m_running = true;
    synchronize(answer, uploadable(listing));
    m_running = false;
}

void NewUnitSync::synchronize(const QString &answer, const QList<TemplateFile> &files)
{
    const int total = int(files.size());
    const QString folder = m_store.folder();
    const double start = m_clock.secondsSinceMidnight();
    int sent = 0;
    showProgress(0, total, start);
    for (int i = 0; i < total; ++i) {
        const QString &name = files[i].name;
        // A file that cannot be read or sent is skipped; the others still go.
        if (m_upload.UPLOAD_TEMPLATE(files[i].user, folder + name, answer,
                                     QString::fromLatin1(kDescription),
                                     TemplateStore::templateNumberOf(name)))
            ++sent;
        showProgress(i + 1, total, start);
        QCoreApplication::processEvents();
    }
    StationState::SyncProgress done = m_state.syncProgress();
    done.shown = false;
    m_state.setSyncProgress(done);
    m_banner.AFF_LOG_MSG(QStringLiteral("Synchronization complete."), 1);
    if (sent == total)
        m_banner.AFF_LOG_MSG(QString(), 2);
    else
        m_banner.AFF_LOG_MSG(QStringLiteral("%1 of %2 template files sent.").arg(sent).arg(total),
                             2);
}

void NewUnitSync::showProgress(int done, int total, double startSeconds)
{
    double perFile = kSecondsPerUpload;
    const double elapsed = m_clock.secondsSinceMidnight() - startSeconds;
    if (done > 0 && elapsed > 0)
        perFile = elapsed / done;
    const int left = int(std::lround(perFile * (total - done)));
    const QString text = progressText(done, total, left);
    m_state.setSyncProgress({true, done, qMax(total, 1), text});
}
