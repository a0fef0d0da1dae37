#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>

// Keeps a second copy of the station from running on the same configuration folder: the
// first copy holds a lock file there for as long as it runs. A lock left behind by a copy
// that died (crash, kill) is recognised by its dead process and taken over.
//
// The first copy also listens on a local socket of the operator's account, named after the
// folder, so that a second start can ask it to bring its window to the front.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    static constexpr const char *kLockFileName = "TrelvaneEnrollment.lock";
    // The one request a second start sends; anything else is ignored.
    static constexpr char kShowRequest[] = "show\n";

    explicit SingleInstance(const QString &folder);
    ~SingleInstance() override;

    // False only when another running copy holds the lock. A folder where no lock can be
    // made at all (read-only, missing) does not keep the station from starting.
    bool acquire();
    bool isHeld() const { return m_lock.isLocked(); }

    // The copy that holds the lock: listens for a second start (false when it cannot).
    bool listen();
    // A second start: asks the running copy to show its window; false when it could not be
    // reached within a moment.
    bool askRunningCopyToShow() const;

    // The socket's name for this folder (a path in the account's runtime folder).
    QString serverName() const { return m_serverName; }

signals:
    void showRequested();

private:
    void onConnection();

    QLockFile m_lock;
    QString m_serverName;
    QLocalServer m_server;
};
