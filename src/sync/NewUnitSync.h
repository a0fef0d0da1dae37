#pragma once

#include "util/UserNumber.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

class Clock;
class Dialogs;
class BannerLines;
class Waits;
class StationState;
class TemplateStore;
class TemplateUpload;

// Brings a newly installed unit up to date: uploads every template file of the store, in
// listing order, to the one unit whose address the operator types (or to the source unit on
// the station's own link for an answer containing "COM"). The state's synchronization progress
// says the files done and the time left; the window shows it under the banner lines.
class NewUnitSync : public QObject
{
    Q_OBJECT
public:
    static constexpr double kBeforeFirstUpload = 0.5;
    // Design time of one upload (its pauses), for the time left before any has been timed.
    static constexpr double kSecondsPerUpload = 0.6;
    static constexpr const char *kDescription = "Synchronize new Trelvane unit.";

    NewUnitSync(StationState &state, Clock &clock, Dialogs &dialogs, BannerLines &banner,
                Waits &waits, TemplateStore &store, TemplateUpload &upload);

    void B_SYNCHRONIZE_NEW_UNIT_Click();

    struct TemplateFile
    {
        QString name;
        UserNumber user;
    };
    // The files of the listing that can be uploaded, with the user each names: a user text
    // before a "-" whose value is a user number (see UserNumber::fromFileName). Others
    // (NOTES.DAT, ABC-01.DAT) are skipped.
    static QList<TemplateFile> uploadable(const QStringList &names);
    // "3 of 500 files, 4 min 58 s left"
    static QString progressText(int done, int total, int secondsLeft);

    bool isRunning() const { return m_running; }

private:
    void synchronize(const QString &answer, const QList<TemplateFile> &files);
    void showProgress(int done, int total, double startSeconds);

    StationState &m_state;
    Clock &m_clock;
    Dialogs &m_dialogs;
    BannerLines &m_banner;
    Waits &m_waits;
    TemplateStore &m_store;
    TemplateUpload &m_upload;
    bool m_running = false;
};
