#include "enroll/TemplateBackup.h"

#include "app/F_MAIN.h"
#include "config/TargetList.h"
#include "enroll/BackupReply.h"
#include "enroll/TemplateStore.h"
#include "link/Frame.h"
#include "link/SourceSender.h"
#include "log/Waits.h"
#include "sync/TemplateUpload.h"
#include "util/NumericValue.h"
#include "util/TextNumber.h"

#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QTimer>

#include <optional>

namespace {

constexpr double kReplyWait = 0.6; // the unit's whole block answer arrives within this time
constexpr double kAfterPass = 0.2;
constexpr int kSynchronizePasses = 3; // a lost datagram is never noticed: the passes repeat

} // namespace

TemplateBackup::TemplateBackup(F_MAIN &w) : w(w)
{
    w.TIM_BACKUP->setSingleShot(true);
    connect(w.TIM_BACKUP, &QTimer::timeout, this, &TemplateBackup::TIM_BACKUP_Timer);
    connect(w.B_BACKUP_TO_FILE, &QPushButton::clicked, this,
            &TemplateBackup::B_BACKUP_TO_FILE_Click);
}

void TemplateBackup::backup(const QString &userText)
{
    if (m_running) {
        m_queued.append(userText);
        return;
    }
    m_running = true;
    runBackup(userText);
    while (!m_queued.isEmpty())
        runBackup(m_queued.takeFirst());
    m_running = false;
    if (m_triggerDeferred) {
        // The trigger was armed during the run: its 200 ms start now.
        m_triggerDeferred = false;
        w.TIM_BACKUP->setInterval(kTriggerMs);
        w.TIM_BACKUP->start();
    }
}

void TemplateBackup::runBackup(const QString &userText)
{
    const double userNumber = numericValue(userText);
    if (userNumber == 0)
        return;
    // A number that no 4 bytes carry would be fetched and uploaded as another user.
    const std::optional<QByteArray> userBytes = USER_NUMBER_TO_BYTES(userNumber);
    if (!userBytes)
        return;

    m_saveError.clear();
    fetch(userText, *userBytes);
    const QString qualityText = takeQualityText();
    synchronize(userText);
    w.AFF_LOG_MSG(QStringLiteral("User: ") + userText + qualityText, 1);
    // A template that could not be saved was not synchronized either (the targets got what
    // the store held before): the end of the backup must not read as a success.
    if (!m_saveError.isEmpty())
        w.AFF_LOG_MSG(m_saveError, 2);
    else
        w.AFF_LOG_MSG(qualityText.isEmpty()
                          ? QStringLiteral("Synchronization Complete")
                          : QStringLiteral("Enrollment and Synchronization Complete"),
                      2);
}

QByteArray TemplateBackup::requestReply(const QByteArray &request)
{
    // Bulk collection: the receive poll appends whatever arrives while events are served.
    w.TRELVANE_LOAD = 1;
    w.RX_EMPREINTE.clear();
    w.sender().TX_SOURCE(request); // a request that could not be sent simply gets no reply
    w.waits().serveEventsFor(kReplyWait);
    w.TRELVANE_LOAD = F_MAIN::True;
    return w.RX_EMPREINTE;
}

void TemplateBackup::fetch(const QString &userText, const QByteArray &userBytes)
{
    // Only a template of more than 10 bytes asks for the next one; the first answer that
    // holds no template ends the fetch.
    std::optional<QByteArray> part =
        BackupReply::firstTemplate(requestReply(Frame::firstTemplate(userBytes)));
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
    TemplateStore &store = w.templateStore();
    const QString path = store.path(userText, templateNumber);
    // A failed write is not reported as a save; the fetch goes on either way.
    SafeFile::Result outcome;
    if (store.write(userText, templateNumber, bytes, &outcome)) {
        w.AFF_LOG_MSG(QStringLiteral("Save user template to: ") + path, 2);
    } else {
        // Something planted at the name is named, so that the operator can have it removed.
        m_saveError = QStringLiteral("Cannot save user template to: ") + path +
                      (outcome.refused ? QStringLiteral(": it ") + outcome.reason +
                                             QStringLiteral(". Have it removed.")
                                       : QString());
        w.AFF_LOG_MSG(m_saveError, 2);
    }
}

QString TemplateBackup::takeQualityText()
{
    // Only an enrollment leaves a score; it is shown once and then cleared.
    const QString score = w.AFF_SCORE->text();
    if (!(numericValue(score) > 0))
        return QString();
    w.state().setQuality(QStringLiteral("0"));
    return QStringLiteral("  Template quality: ") + score + QLatin1Char('%');
}

void TemplateBackup::synchronize(const QString &userText)
{
    // Everything the store holds for the user goes out, including files from an earlier,
    // larger set, and files stored before a fetch that brought nothing.
    TemplateStore &store = w.templateStore();
    for (int pass = 0; pass < kSynchronizePasses; ++pass) {
        const QStringList names = store.list(userText);
        const QStringList targets = w.targetList().tickedAddresses();
        for (const QString &name : names)
            for (const QString &target : targets)
                w.templateUpload().UPLOAD_TEMPLATE(TemplateStore::userOf(name),
                                                   store.folder() + name, target,
                                                   QStringLiteral("Synchronize template(s)"),
                                                   TemplateStore::templateNumberOf(name));
        w.ID_PAUSE(kAfterPass);
    }
}

void TemplateBackup::showArmed(bool armed)
{
    w.state().setBackupArmed(armed);
}

void TemplateBackup::armTrigger()
{
    showArmed(true);
    w.TIM_BACKUP->setInterval(kTriggerMs);
    if (m_running)
        m_triggerDeferred = true; // fires 200 ms after the running backup ends
    else
        w.TIM_BACKUP->start();
}

void TemplateBackup::TIM_BACKUP_Timer()
{
    if (w.TIM_BACKUP->interval() == 0)
        return;
    // One shot: the backup below serves events, and the trigger must not fire inside it.
    w.TIM_BACKUP->stop();
    if (m_running) {
        m_triggerDeferred = true;
        return;
    }
    showArmed(false);
    backup(w.INP_USER_NUMBER->text());
    if (!w.TIM_BACKUP->isActive())
        w.TIM_BACKUP->setInterval(0); // disarmed, unless armed again meanwhile
}

void TemplateBackup::B_BACKUP_TO_FILE_Click()
{
    backup(w.INP_USER_NUMBER->text());
}

void TemplateBackup::backupListedUsers(const QStringList &userListLines)
{
    for (const QString &line : userListLines)
        backup(line.left(15).trimmed());
}
