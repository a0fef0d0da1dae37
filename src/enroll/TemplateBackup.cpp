#include "enroll/TemplateBackup.h"

#include "enroll/BackupReply.h"
#include "enroll/TemplateStore.h"
#include "link/Frame.h"
#include "link/SourceSender.h"
#include "log/ActivityLog.h"
#include "log/BannerLines.h"
#include "log/Waits.h"
#include "station/StationState.h"
#include "util/NumericValue.h"
#include "util/TextNumber.h"

#include <QTimer>

#include <optional>

namespace {

constexpr double kReplyWait = 0.6; // the unit's whole block answer arrives within this time
constexpr double kAfterPass = 0.2;
constexpr int kSynchronizePasses = 3; // a lost datagram is never noticed: the passes repeat

} // namespace

TemplateBackup::TemplateBackup(StationState &state, ActivityLog &activityLog,
                               BannerLines &bannerLines, Waits &waits, SourceSender &sender,
                               TemplateStore &templateStore, QTimer &backupTimer)
    : m_state(state), m_activityLog(activityLog), m_bannerLines(bannerLines), m_waits(waits),
      m_sender(sender), m_templateStore(templateStore), m_timer(backupTimer)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &TemplateBackup::TIM_BACKUP_Timer);
}

void TemplateBackup::backup(const QString &userText)
{
    if (const std::optional<UserNumber> user = UserNumber::fromNumberAtStart(userText))
        backup(*user);
}

void TemplateBackup::backup(const UserNumber &user)
{
    if (m_running) {
        m_queued.append(user);
        return;
    }
    m_running = true;
    runBackup(user);
    while (!m_queued.isEmpty())
        runBackup(m_queued.takeFirst());
    m_running = false;
    if (m_triggerDeferred) {
        // The trigger was armed during the run: its 200 ms start now.
        m_triggerDeferred = false;
        m_timer.setInterval(kTriggerMs);
        m_timer.start();
    }
}

void TemplateBackup::runBackup(const UserNumber &user)
{
    const QString &userText = user.text();
    m_saveError.clear();
    fetch(user);
    const QString qualityText = takeQualityText();
    synchronize(userText);
    m_bannerLines.AFF_LOG_MSG(QStringLiteral("User: ") + userText + qualityText, 1);
    // A template that could not be saved was not synchronized either (the targets got what
    // the store held before): the end of the backup must not read as a success.
    if (!m_saveError.isEmpty())
        m_bannerLines.AFF_LOG_MSG(m_saveError, 2);
    else
        m_bannerLines.AFF_LOG_MSG(qualityText.isEmpty()
                                      ? QStringLiteral("Synchronization Complete")
                                      : QStringLiteral("Enrollment and Synchronization Complete"),
                                  2);
}

QByteArray TemplateBackup::requestReply(const QByteArray &request)
{
    // Bulk collection: the receive poll appends whatever arrives while events are served.
    m_state.TRELVANE_LOAD = 1;
    m_state.RX_EMPREINTE.clear();
    m_sender.TX_SOURCE(request); // a request that could not be sent simply gets no reply
    m_waits.serveEventsFor(kReplyWait);
    m_state.TRELVANE_LOAD = StationState::True;
    return m_state.RX_EMPREINTE;
}

void TemplateBackup::fetch(const UserNumber &user)
{
    const QString &userText = user.text();
    // Only a template of more than 10 bytes asks for the next one; the first answer that
    // holds no template ends the fetch.
    std::optional<QByteArray> part =
        BackupReply::firstTemplate(requestReply(Frame::firstTemplate(user.bytes())));
    if (!part)
        return;
    storeTemplate(userText, 1, *part);

    for (int n = 2; BackupReply::asksForNext(*part) && n <= kMaxTemplates; ++n) {
        part = BackupReply::nextTemplate(requestReply(Frame::nextTemplate()));
        if (!part)
            return;
        storeTemplate(userText, n, *part);
    }
}

void TemplateBackup::storeTemplate(const QString &userText, int templateNumber,
                                   const QByteArray &bytes)
{
    TemplateStore &store = m_templateStore;
    const QString path = store.path(userText, templateNumber);
    // A failed write is not reported as a save; the fetch goes on either way.
    SafeFile::Result outcome;
    if (store.write(userText, templateNumber, bytes, &outcome)) {
        m_bannerLines.AFF_LOG_MSG(QStringLiteral("Save user template to: ") + path, 2);
    } else {
        // Something planted at the name is named, so that the operator can have it removed.
        m_saveError = QStringLiteral("Cannot save user template to: ") + path +
                      (outcome.refused ? QStringLiteral(": it ") + outcome.reason +
                                             QStringLiteral(". Have it removed.")
                                       : QString());
        m_bannerLines.AFF_LOG_MSG(m_saveError, 2);
    }
}

QString TemplateBackup::takeQualityText()
{
    // Only an enrollment leaves a score; it is shown once and then cleared.
    const QString score = m_state.quality();
    if (!(numericValue(score) > 0))
        return QString();
    m_state.setQuality(QStringLiteral("0"));
    return QStringLiteral("  Template quality: ") + score + QLatin1Char('%');
}

void TemplateBackup::synchronize(const QString &userText)
{
    // Everything the store holds for the user goes out, including files from an earlier,
    // larger set, and files stored before a fetch that brought nothing. Each file goes to
    // all ticked targets at once: a site with ten targets waits no longer than one with one.
    TemplateStore &store = m_templateStore;
    for (int pass = 0; pass < kSynchronizePasses; ++pass) {
        const QStringList names = store.list(userText);
        const QStringList targets = tickedAddresses();
        for (const QString &name : names)
            if (const std::optional<UserNumber> user = UserNumber::fromFileName(name))
                emit uploadTemplateWanted(*user, store.folder() + name, targets,
                                          QStringLiteral("Synchronize template(s)"),
                                          TemplateStore::templateNumberOf(name));
        m_waits.ID_PAUSE(kAfterPass);
    }
}

QStringList TemplateBackup::tickedAddresses() const
{
    return m_state.usableTickedAddresses([this](const QString &problem) {
        m_activityLog.WRITE_LOG(QStringLiteral("Target unit skipped: ") + problem);
    });
}

void TemplateBackup::showArmed(bool armed)
{
    m_state.setBackupArmed(armed);
}

void TemplateBackup::armTrigger()
{
    showArmed(true);
    m_timer.setInterval(kTriggerMs);
    if (m_running)
        m_triggerDeferred = true; // fires 200 ms after the running backup ends
    else
        m_timer.start();
}

void TemplateBackup::TIM_BACKUP_Timer()
{
    if (m_timer.interval() == 0)
        return;
    // One shot: the backup below serves events, and the trigger must not fire inside it.
    m_timer.stop();
    if (m_running) {
        m_triggerDeferred = true;
        return;
    }
    showArmed(false);
    backup(m_state.userText());
    if (!m_timer.isActive())
        m_timer.setInterval(0); // disarmed, unless armed again meanwhile
}

void TemplateBackup::B_BACKUP_TO_FILE_Click()
{
    backup(m_state.userText());
}

void TemplateBackup::backupListedUsers(const QStringList &userListLines)
{
    for (const QString &line : userListLines)
        backup(line.left(15).trimmed());
}
