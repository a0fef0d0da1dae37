#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

class F_MAIN;

// Fetches one user's templates from the source unit into the template store, then uploads
// every stored template of that user to every ticked target unit, three times over.
class TemplateBackup : public QObject
{
    Q_OBJECT
public:
    explicit TemplateBackup(F_MAIN &w);

    // Backs up one user (the "LOAD" user command): fetch, store, synchronize, completion
    // banner. A user text whose numeric value is 0 does nothing.
    void backup(const QString &userText);

    // Arms the backup trigger: the user number turns black, TIM_BACKUP fires once in 200 ms.
    void armTrigger();
    void TIM_BACKUP_Timer();

    // Hidden button: backs up the user in INP_USER_NUMBER.
    void B_BACKUP_TO_FILE_Click();
    // Backs up the user of each line (its first 15 characters, trimmed), first to last.
    void backupListedUsers(const QStringList &userListLines);

    // Upper bound of one fetch: a unit that keeps answering stops being asked after this
    // many templates (the highest number a "00"-style file name still reads back from two
    // digits is 99; three digits name up to 999).
    static constexpr int kMaxTemplates = 999;

    bool isRunning() const { return m_running; }

private:
    QByteArray requestReply(const QByteArray &request);
    void fetch(const QString &userText, const QByteArray &userBytes);
    void synchronize(const QString &userText);
    void storeTemplate(const QString &userText, int templateNumber, const QByteArray &bytes);
    QString takeQualityText();
    void setTriggerShown(bool armed);

    F_MAIN &w;
    bool m_running = false;
    bool m_rearmedWhileRunning = false;
};
