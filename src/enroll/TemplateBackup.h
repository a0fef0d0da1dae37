#pragma once

#include "util/UserNumber.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

class QTimer;

class ActivityLog;
class BannerLines;
class SourceSender;
class StationState;
class TemplateStore;
class Waits;

// Fetches one user's templates from the source unit into the template store, then uploads
// every stored template of that user to all ticked target units together, three times over.
//
// A backup serves events while it waits for the unit, so a click, the backup trigger or
// another caller may ask for a backup while one runs. Backups never nest (they share the
// receive mode and the bulk buffer): a request made meanwhile runs after the current one.
class TemplateBackup : public QObject
{
    Q_OBJECT
public:
    // backupTimer is TIM_BACKUP, the backup trigger's timer.
    TemplateBackup(StationState &state, ActivityLog &activityLog, BannerLines &bannerLines,
                   Waits &waits, SourceSender &sender, TemplateStore &templateStore,
                   QTimer &backupTimer);

    // Backs up one user (the "LOAD" user command): fetch, store, synchronize, completion
    // banner.
    void backup(const UserNumber &user);
    // The same for a user text, read as the number at its start: a text whose number is 0
    // (or that no 4 bytes can carry) does nothing.
    void backup(const QString &userText);

    // Arms the backup trigger: the user number turns black, TIM_BACKUP fires once in 200 ms.
    void armTrigger();
    void TIM_BACKUP_Timer();

    // Hidden button: backs up the user of the user text.
    void B_BACKUP_TO_FILE_Click();
    // Backs up the user of each line (its first 15 characters, trimmed), first to last.
    void backupListedUsers(const QStringList &userListLines);

    // Upper bound of one fetch: a unit that keeps answering is not asked for more than
    // this many templates (the most that three-digit file numbers can name).
    static constexpr int kMaxTemplates = 999;
    static constexpr int kTriggerMs = 200;

    bool isRunning() const { return m_running; }

signals:
    // Uploads one stored template to each of the target units, at once and in full (the
    // upload's pauses are part of the backup's pace).
    void uploadTemplateWanted(const UserNumber &user, const QString &templatePath,
                              const QStringList &targets, const QString &description,
                              int templateNumber);

private:
    void runBackup(const UserNumber &user);
    QByteArray requestReply(const QByteArray &request);
    void fetch(const UserNumber &user);
    void storeTemplate(const QString &userText, int templateNumber, const QByteArray &bytes);
    QString takeQualityText();
    void synchronize(const QString &userText);
    void showArmed(bool armed);
    QStringList tickedAddresses() const;

    StationState &m_state;
    ActivityLog &m_activityLog;
    BannerLines &m_bannerLines;
    Waits &m_waits;
    SourceSender &m_sender;
    TemplateStore &m_templateStore;
    QTimer &m_timer; // TIM_BACKUP
    bool m_running = false;
    bool m_triggerDeferred = false; // armed or fired while a backup ran
    QList<UserNumber> m_queued;     // backups asked for while one ran
    QString m_saveError;            // the last template of this backup that was not saved
};
