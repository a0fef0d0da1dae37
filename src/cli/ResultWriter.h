#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class QJsonObject;
class QTextStream;
class StationState;

// What `status` reports.
struct StatusResult
{
    QString link;   // the source link as the window captions it: Connected, Disconnected, Error
    QString detail; // what the window shows as the link's tooltip
    bool handshakeAnswered = false; // the source unit answered the handshake
    QString mode;                   // "enroll", "read" or "none"
    QStringList tickedTargets;      // LST_IP's ticked lines: address, blanks, description

    // The link, its detail, the mode and the ticked targets as the state holds them. Whether
    // the unit answered is the caller's to say: only it knows that a handshake was sent.
    static StatusResult of(const StationState &state, bool handshakeAnswered);
};

// One user of a unit's list.
struct UserEntry
{
    QString user;
    int templates = 0;
};

// What `enroll` and `delete` report.
struct OperationResult
{
    QString operation; // "enroll" or "delete"
    QString user;
    QString quality;         // AFF_SCORE after an enrollment; empty for a deletion
    int templatesStored = 0; // template files now in the templates folder for the user
    QStringList targetsReached;
    QStringList targetsMissed;
};

// The results on standard output: plain lines ("name: value", a user list as "USER<tab>
// TEMPLATES") for a person or a shell's read and cut, or one JSON document with --json.
// Texts from units and files are made safe for a terminal in the plain lines; JSON escapes
// them itself.
class ResultWriter
{
public:
    ResultWriter(QTextStream &out, bool json) : m_out(out), m_json(json) {}

    void writeStatus(const StatusResult &status);
    // unit: the target unit's address, empty for the source unit.
    void writeUsers(const QString &unit, const QList<UserEntry> &users);
    void writeOperation(const OperationResult &result);

private:
    void writeJson(const QJsonObject &object);
    void writeLine(const QString &name, const QString &value);

    QTextStream &m_out;
    const bool m_json;
};
