#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class F_MAIN;
class QProgressBar;

// Brings a newly installed unit up to date: uploads every template file of the store, in
// listing order, to the one unit whose address the operator types (or to the source unit on
// the station's own link for an answer containing "COM"). A progress bar in the banner frame
// shows the files done and the time left.
class NewUnitSync : public QObject
{
    Q_OBJECT
public:
    static constexpr double kBeforeFirstUpload = 0.5;
    // Design time of one upload (its pauses), for the time left before any has been timed.
    static constexpr double kSecondsPerUpload = 0.6;
    static constexpr const char *kDescription = "Synchronize new Trelvane unit.";

    explicit NewUnitSync(F_MAIN &w);

    void B_SYNCHRONIZE_NEW_UNIT_Click();

    // The names of the listing that can be uploaded: a user text before a "-" whose value
    // is a user number (1 to 4294967295). Others (NOTES.DAT, ABC-01.DAT) are skipped.
    static QStringList uploadable(const QStringList &names);
    // "3 of 500 files, 4 min 58 s left"
    static QString progressText(int done, int total, int secondsLeft);

    QProgressBar *progressBar() const { return m_progress; }
    bool isRunning() const { return m_running; }

private:
    void synchronize(const QString &answer, const QStringList &names);
    void showProgress(int done, int total, double startSeconds);

    F_MAIN &w;
    QProgressBar *m_progress = nullptr; // in the banner, under its two lines
    bool m_running = false;
};
