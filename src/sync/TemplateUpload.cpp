#include "sync/TemplateUpload.h"

#include "enroll/TemplateStore.h"
#include "link/Frame.h"
#include "link/SourceSender.h"
#include "log/ActivityLog.h"
#include "log/BannerLines.h"
#include "log/Waits.h"
#include "station/StationOptions.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QRegularExpression>
#include <QUdpSocket>

#include <algorithm>
#include <optional>

namespace {

// The pauses that pace one upload, in seconds; the target is never asked for an answer,
// so these alone give it time to take each piece.
constexpr double kBeforeHeader = 0.1;
constexpr double kAfterHeader = 0.2;
constexpr double kAfterSecondHeader = 0.1;
constexpr double kAfterData = 0.1;
constexpr double kAfterTrailer = 0.1;

// An IPv4 address of the target, or nothing. A text of digits and dots must be a full
// dotted quad (QHostAddress alone would take shorthand forms such as "10.7" or leave
// "300.1.1.1" to a name lookup); any other text is a host name to resolve.
std::optional<QHostAddress> resolve(const QString &typed)
{
    // Blanks around the text do not make a shorthand pass for a full address: "127.1 "
    // is refused as "127.1" is.
    const QString host = typed.trimmed();
    static const QRegularExpression digitsAndDots(QStringLiteral("^[0-9.]+$"));
    static const QRegularExpression dottedQuad(
        QStringLiteral("^(\\d{1,3})\\.(\\d{1,3})\\.(\\d{1,3})\\.(\\d{1,3})$"));
    if (host.isEmpty())
        return std::nullopt;
    if (digitsAndDots.match(host).hasMatch()) {
        const auto m = dottedQuad.match(host);
        if (!m.hasMatch())
            return std::nullopt;
        for (int i = 1; i <= 4; ++i)
            if (m.captured(i).toInt() > 255)
                return std::nullopt;
        return QHostAddress(host);
    }
    const QHostAddress literal(host);
    if (!literal.isNull())
        return literal;
    const QHostInfo info = QHostInfo::fromName(host);
    if (info.error() != QHostInfo::NoError || info.addresses().isEmpty())
        return std::nullopt;
    for (const QHostAddress &address : info.addresses())
        if (address.protocol() == QAbstractSocket::IPv4Protocol)
            return address;
    return info.addresses().first();
}

} // namespace

TemplateUpload::TemplateUpload(const StationOptions &options, QUdpSocket &udpTx, ActivityLog &log,
                               BannerLines &banner, Waits &waits, SourceSender &sender,
                               TemplateStore &store)
    : m_options(options), m_udpTx(udpTx), m_log(log), m_banner(banner), m_waits(waits),
      m_sender(sender), m_store(store)
{}

void TemplateUpload::setDestination(const QString &host)
{
    m_remotePort = m_options.udpPort;
    // The host is cleared to the unspecified address before the new one is taken, so a
    // destination never keeps part of the previous one.
    m_remoteHost = QStringLiteral("0.0.0.0");
    m_remoteHost = host;
}

bool TemplateUpload::TX_UDP(const QByteArray &datagram)
{
    const std::optional<QHostAddress> address = resolve(m_remoteHost);
    return address && sendDatagram(*address, datagram);
}

bool TemplateUpload::sendDatagram(const QHostAddress &address, const QByteArray &datagram)
{
    if (m_remotePort == 0)
        return false;
    if (m_udpTx.writeDatagram(datagram, address, m_remotePort) != datagram.size())
        return false;
    m_log.WRITE_LOG(QStringLiteral("TX_UDP[") + m_remoteHost + QStringLiteral("]: ") +
                    TRACE_TEXT(datagram));
    return true;
}

bool TemplateUpload::sendTo(const Destination &destination, const QByteArray &message)
{
    setDestination(destination.target);
    if (destination.sourceLink)
        return m_sender.TX_SOURCE(message);
    return destination.address && sendDatagram(*destination.address, message);
}

bool TemplateUpload::sendToAll(QList<Destination> &destinations, const QByteArray &message)
{
    // The source link goes last at each step: a write to a busy serial line may take a
    // while, and the step's datagrams must not wait behind it.
    bool anyLeft = false;
    for (const bool sourceLinkTurn : {false, true}) {
        for (Destination &destination : destinations) {
            if (destination.failed || destination.sourceLink != sourceLinkTurn)
                continue;
            destination.failed = !sendTo(destination, message);
            if (destination.failed)
                logNotReached(destination);
            anyLeft = anyLeft || !destination.failed;
        }
    }
    return anyLeft;
}

void TemplateUpload::logNotReached(const Destination &destination)
{
    // Nothing answers an upload, so a unit that never gets its templates is only ever
    // noticed here: the log says which target and why, once per upload.
    QString why;
    if (destination.sourceLink)
        why = QStringLiteral("the link to the source unit did not take it");
    else if (!destination.address)
        why = QStringLiteral("its address does not resolve; check it in the target list");
    else
        why = m_udpTx.errorString();
    m_log.WRITE_LOG(QStringLiteral("Target unit not reached: ") + destination.target +
                    QStringLiteral(": ") + why);
}

QString TemplateUpload::unitOf(const Destination &destination)
{
    // What is left with no address reaches no unit, so it may share a sequence with any.
    if (destination.sourceLink)
        return QStringLiteral("source link");
    return destination.address ? destination.address->toString() : QString();
}

QList<QList<TemplateUpload::Destination>>
TemplateUpload::sequencesFor(const QStringList &targets) const
{
    // Each name is resolved once, before the first pause: a slow or failing lookup of one
    // target must not stretch the pauses the others get between their pieces.
    QList<QList<Destination>> sequences;
    for (const QString &target : targets) {
        Destination destination;
        destination.target = target;
        destination.sourceLink = target.toUpper().contains(QStringLiteral("COM"));
        if (!destination.sourceLink)
            destination.address = resolve(target);
        const QString unit = unitOf(destination);
        // The first sequence that does not serve this unit yet takes it.
        const auto servesUnit = [&unit](const QList<Destination> &sequence) {
            return !unit.isEmpty() &&
                   std::any_of(sequence.cbegin(), sequence.cend(),
                               [&unit](const Destination &d) { return unitOf(d) == unit; });
        };
        auto free = std::find_if_not(sequences.begin(), sequences.end(), servesUnit);
        if (free == sequences.end())
            free = sequences.insert(sequences.end(), QList<Destination>());
        free->append(destination);
    }
    return sequences;
}

bool TemplateUpload::UPLOAD_TEMPLATE(const QString &user, const QString &templatePath,
                                     const QString &target, const QString &description,
                                     int templateNumber)
{
    // A number that 4 bytes cannot carry (above 4294967295, fractional, negative) would
    // reach the target as some other user: nothing at all is sent for it.
    const std::optional<UserNumber> number = UserNumber::fromNumberAtStart(user);
    return number && UPLOAD_TEMPLATE(*number, templatePath, target, description, templateNumber);
}

bool TemplateUpload::UPLOAD_TEMPLATE(const UserNumber &user, const QString &templatePath,
                                     const QString &target, const QString &description,
                                     int templateNumber)
{
    return uploadToTargets(user, templatePath, QStringList{target}, description, templateNumber) ==
           1;
}

int TemplateUpload::uploadToTargets(const UserNumber &user, const QString &templatePath,
                                    const QStringList &targets, const QString &description,
                                    int templateNumber)
{
    if (targets.isEmpty())
        return 0;

    // Always a file path: the templates folder has no drive letter to recognise it by. The
    // file is read before anything is sent: a unit that got the two headers takes the next
    // datagram it receives as the template, so headers without data would spoil the next
    // upload. A link or anything but a regular file is refused: its bytes never leave.
    QString reason;
    const std::optional<QByteArray> data = m_store.read(templatePath, &reason);
    if (!data) {
        m_log.WRITE_LOG(QStringLiteral("Template file not sent: ") + templatePath +
                        QStringLiteral(": ") + reason);
        return 0;
    }

    int delivered = 0;
    for (QList<Destination> &sequence : sequencesFor(targets))
        delivered += uploadTogether(sequence, user, *data, description, templateNumber);
    return delivered;
}

int TemplateUpload::uploadTogether(QList<Destination> &destinations, const UserNumber &user,
                                   const QByteArray &data, const QString &description,
                                   int templateNumber)
{
    m_waits.ID_PAUSE(kBeforeHeader);
    if (!sendToAll(destinations, Frame::uploadAnnounce(user.bytes(), templateNumber == 1)))
        return 0;
    m_waits.ID_PAUSE(kAfterHeader);
    if (!sendToAll(destinations, Frame::uploadDataHeader()))
        return 0;
    m_waits.ID_PAUSE(kAfterSecondHeader);
    if (!sendToAll(destinations, data))
        return 0;
    m_waits.ID_PAUSE(kAfterData);

    showUpload(destinations, user, description, templateNumber);
    if (!sendToAll(destinations, Frame::trailer(data)))
        return 0;
    m_waits.ID_PAUSE(kAfterTrailer);
    return int(std::count_if(destinations.cbegin(), destinations.cend(),
                             [](const Destination &d) { return !d.failed; }));
}

void TemplateUpload::showUpload(const QList<Destination> &destinations, const UserNumber &user,
                                const QString &description, int templateNumber)
{
    QStringList served;
    for (const Destination &destination : destinations)
        if (!destination.failed)
            served.append(destination.target);
    m_banner.AFF_LOG_MSG(QStringLiteral("Upload user #") + user.text() +
                             QStringLiteral(" template #") + QString::number(templateNumber),
                         1);
    if (served.size() == 1)
        m_banner.AFF_LOG_MSG(
            QStringLiteral(" to ") + served.first() + QLatin1Char(' ') + description, 2);
    else
        m_banner.AFF_LOG_MSG(QStringLiteral(" to %1 target units").arg(served.size()), 2);
}

void TemplateUpload::B_UPLOAD_TST_Click()
{
    UPLOAD_TEMPLATE(QStringLiteral("666666"), m_store.folder() + QStringLiteral("12345-01.DAT"),
                    QString::fromLatin1(kTestAddress), QString::fromLatin1(kTestDescription), 1);
}
