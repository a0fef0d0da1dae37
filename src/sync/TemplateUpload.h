#pragma once

#include "util/UserNumber.h"

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

class QUdpSocket;
class ActivityLog;
class BannerLines;
class Waits;
class SourceSender;
class TemplateStore;
struct StationOptions;

// Copies one stored template of one user to target units: an upload header, the fixed
// second header, the template bytes and their trailer, paced by fixed pauses and never
// answered. A target whose text contains "COM" is the source unit on the station's own link.
// Also the one place where a datagram leaves through UDP_TX (TX_UDP).
//
// The pauses are there for each unit: it needs them to take in one piece before the next. It
// does not need the other units to wait, so several targets are served together, step by
// step: each piece goes to every target before the pause that follows it. Every unit still
// receives its four pieces in order, with at least the same pauses between them; only the
// order of datagrams across different units changes.
class TemplateUpload : public QObject
{
    Q_OBJECT
public:
    TemplateUpload(const StationOptions &options, QUdpSocket &udpTx, ActivityLog &log,
                   BannerLines &banner, Waits &waits, SourceSender &sender, TemplateStore &store);

    // Points UDP_TX at the target: the units' UDP port, host "0.0.0.0" then the host text.
    void setDestination(const QString &host);
    // The host text last set (what TX_UDP traces).
    QString destinationHost() const { return m_remoteHost; }
    quint16 destinationPort() const { return m_remotePort; }

    // Sends the datagram in one piece to the current destination and traces it
    // "TX_UDP[host]: ...". False, with nothing sent, when the host cannot be used.
    bool TX_UDP(const QByteArray &datagram);

    // One template upload to one target. templatePath is the full path of a template file.
    // False at the first step that fails (what was sent before stays sent). The user text is
    // read as the number at its start: false with nothing sent for one that is 0 or that
    // 4 bytes cannot carry.
    bool UPLOAD_TEMPLATE(const QString &user, const QString &templatePath, const QString &target,
                         const QString &description, int templateNumber);
    bool UPLOAD_TEMPLATE(const UserNumber &user, const QString &templatePath, const QString &target,
                         const QString &description, int templateNumber);

    // The same upload to every target of the list, together: one sequence of pauses serves
    // them all. A target that cannot be reached (a name that does not resolve, a send the
    // socket or the link refuses) drops out at that step without changing what the others
    // receive. Targets that are one and the same unit (the same address, or the source
    // link under two names) never share a sequence: a unit must get one upload after the
    // other, so a repeated unit gets its upload in a later sequence. Returns how many
    // targets received the whole upload.
    int uploadToTargets(const UserNumber &user, const QString &templatePath,
                        const QStringList &targets, const QString &description, int templateNumber);

    // Hidden test button: the first template of user 12345 sent as user 666666.
    void B_UPLOAD_TST_Click();

    static constexpr const char *kTestAddress = "127.0.0.1";
    static constexpr const char *kTestDescription = "Test upload";

private:
    // One target of an upload, with its route settled before anything is sent.
    struct Destination
    {
        QString target; // as given: what the trace and the banner show
        bool sourceLink = false;
        std::optional<QHostAddress> address; // the UDP route's address, when it resolved
        bool failed = false;                 // a step could not be sent: no later piece goes there
    };

    // The unit a destination reaches; empty when it reaches none.
    static QString unitOf(const Destination &destination);
    QList<QList<Destination>> sequencesFor(const QStringList &targets) const;
    int uploadTogether(QList<Destination> &destinations, const UserNumber &user,
                       const QByteArray &data, const QString &description, int templateNumber);
    // Sends one piece to every destination still in the upload; false when none is left.
    bool sendToAll(QList<Destination> &destinations, const QByteArray &message);
    bool sendTo(const Destination &destination, const QByteArray &message);
    void logNotReached(const Destination &destination);
    bool sendDatagram(const QHostAddress &address, const QByteArray &datagram);
    void showUpload(const QList<Destination> &destinations, const UserNumber &user,
                    const QString &description, int templateNumber);

    const StationOptions &m_options;
    QUdpSocket &m_udpTx;
    ActivityLog &m_log;
    BannerLines &m_banner;
    Waits &m_waits;
    SourceSender &m_sender;
    TemplateStore &m_store;
    QString m_remoteHost;
    quint16 m_remotePort = 0;
};
