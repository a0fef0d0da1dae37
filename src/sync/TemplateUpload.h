#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QUdpSocket;
class ActivityLog;
class BannerLines;
class Waits;
class SourceSender;
class TemplateStore;
struct StationOptions;

// Copies one stored template of one user to one target unit: an upload header, the fixed
// second header, the template bytes and their trailer, paced by fixed pauses and never
// answered. A target whose text contains "COM" is the source unit on the station's own link.
// Also the one place where a datagram leaves through UDP_TX (TX_UDP).
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

    // One template upload. templatePath is the full path of a template file. False at the
    // first step that fails (what was sent before stays sent); false with nothing sent for
    // a user number that cannot be carried in 4 bytes or is 0.
    bool UPLOAD_TEMPLATE(const QString &user, const QString &templatePath, const QString &target,
                         const QString &description, int templateNumber);

    // Hidden test button: the first template of user 12345 sent as user 666666.
    void B_UPLOAD_TST_Click();

    static constexpr const char *kTestAddress = "127.0.0.1";
    static constexpr const char *kTestDescription = "Test upload";

private:
    bool sendOnRoute(bool sourceLink, const QByteArray &message);

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
