#include "UnitProtocol.h"

#include "link/Frame.h"

#include <algorithm>

namespace {

// Command bytes (byte 2 of a frame) and function or status bytes (byte 11).
constexpr quint8 kCmdHandshake = 0x01;
constexpr quint8 kCmdEnroll = 0x05;
constexpr quint8 kCmdUserFrame = 0x11;
constexpr quint8 kCmdDelete = 0x16;
constexpr quint8 kCmdUserList = 0x86;
constexpr quint8 kCmdUpload = 0x87;
constexpr quint8 kCmdTemplate = 0x89;

constexpr quint8 kFnHandshake = 0x65;
constexpr quint8 kFnEnroll = 0x71;
constexpr quint8 kFnFirst = 0x00;
constexpr quint8 kFnNext = 0x83;
constexpr quint8 kFnAppend = 0x71;

constexpr quint8 kStatusDone = 0x61;    // "a"
constexpr quint8 kStatusQuality = 0x62; // "b"
constexpr quint8 kStatusUnknown = 0x69; // "i": delete of a user the unit does not hold

// Dropped bytes kept in an Ignored event; the event's text still tells the full count.
constexpr int kReportedDropBytes = 64;

quint8 byteAt(const QByteArray &bytes, int index)
{
    return static_cast<quint8>(bytes.at(index));
}

QByteArray data8(std::initializer_list<int> values)
{
    QByteArray out;
    for (const int v : values)
        out.append(static_cast<char>(v));
    return out;
}

// The fixed second header of an upload is compared without its checksum byte: the unit takes
// a header with a wrong checksum like a correct one.
bool isUploadDataHeader(const QByteArray &frame)
{
    static const QByteArray header = Frame::uploadDataHeader();
    return frame.size() == Frame::kLength && frame.left(11) == header.left(11) &&
           frame.at(12) == Frame::kEnd;
}

} // namespace

UnitProtocol::UnitProtocol() : UnitProtocol(Options{}) {}

UnitProtocol::UnitProtocol(const Options &options) : m_options(options)
{
    m_options.templateBytes = std::clamp(m_options.templateBytes, 0, kMaxUploadBytes);
    m_options.enrollTemplates = std::clamp(m_options.enrollTemplates, 0, 255);
    m_options.pageRecords = std::clamp(m_options.pageRecords, 1, kMaxPageRecords);
    if (m_options.randomSeed != 0)
        m_random.seed(static_cast<quint32>(m_options.randomSeed));
    else
        m_random.seed(QRandomGenerator::global()->generate());
}

int UnitProtocol::openSession(Transport transport)
{
    const int id = m_nextSession++;
    Session session;
    session.id = id;
    session.transport = transport;
    m_sessions.insert(id, session);
    return id;
}

void UnitProtocol::closeSession(int session)
{
    m_sessions.remove(session);
    if (m_enrollSession == session)
        m_enrollSession = 0;
}

QList<int> UnitProtocol::streamSessions() const
{
    QList<int> out;
    for (auto it = m_sessions.cbegin(); it != m_sessions.cend(); ++it) {
        if (it->transport == Transport::Stream)
            out.append(it.key());
    }
    std::sort(out.begin(), out.end());
    return out;
}

UnitProtocol::Result UnitProtocol::receive(int sessionId, const QByteArray &bytes)
{
    Result result;
    auto it = m_sessions.find(sessionId);
    if (it == m_sessions.end()) {
        ignore(result, bytes, QStringLiteral("no such session"));
        return result;
    }
    Session &session = *it;

    if (session.transport == Transport::Datagram) {
        // One datagram is one piece of an upload, or one or more frames.
        switch (session.upload) {
        case Upload::Announced:
            if (isUploadDataHeader(bytes)) {
                session.upload = Upload::Data;
                result.events.append(Event::make(Event::Kind::Request, bytes));
                return result;
            }
            session.upload = Upload::None;
            break;
        case Upload::Data:
            session.uploadData = bytes.left(kMaxUploadBytes);
            session.upload = Upload::Trailer;
            return result;
        case Upload::Trailer:
            if (bytes.size() == 4) {
                storeUpload(session, session.uploadData, result);
                return result;
            }
            ignore(result, session.uploadData, QStringLiteral("upload data without a trailer"));
            session.upload = Upload::None;
            break;
        case Upload::None:
            break;
        }
        session.pending = bytes;
        scanFrames(session, result);
        if (!session.pending.isEmpty())
            ignore(result, session.pending, QStringLiteral("incomplete frame in a datagram"));
        session.pending.clear();
        if (session.upload == Upload::Data && !session.uploadData.isEmpty())
            session.upload = Upload::Trailer;
        return result;
    }

    session.pending.append(bytes);
    scanFrames(session, result);
    return result;
}

UnitProtocol::Result UnitProtocol::streamIdle(int sessionId)
{
    Result result;
    auto it = m_sessions.find(sessionId);
    if (it == m_sessions.end() || it->upload != Upload::Data || it->uploadData.isEmpty())
        return result;
    Session &session = *it;
    // The sender pauses between the data and the trailer; when both came in one burst, the
    // last four bytes are the trailer of the rest.
    const QByteArray &data = session.uploadData;
    if (data.size() >= 5 && data.right(4) == Frame::trailer(data.chopped(4))) {
        storeUpload(session, data.chopped(4), result);
        return result;
    }
    session.upload = Upload::Trailer;
    session.uploadTrailer.clear();
    return result;
}

void UnitProtocol::scanFrames(Session &session, Result &result)
{
    QByteArray &in = session.pending;
    QByteArray dropped;
    qsizetype droppedCount = 0;
    auto drop = [&](qsizetype from, qsizetype count) {
        if (dropped.size() < kReportedDropBytes)
            dropped.append(in.mid(from, std::min<qsizetype>(count, kReportedDropBytes)));
        droppedCount += count;
    };

    qsizetype pos = 0;
    while (pos < in.size()) {
        if (session.upload == Upload::Data) {
            session.uploadData.append(in.mid(pos));
            pos = in.size();
            if (session.uploadData.size() > kMaxUploadBytes + 4) {
                ignore(result, session.uploadData.left(kReportedDropBytes),
                       QStringLiteral("upload longer than %1 bytes dropped").arg(kMaxUploadBytes));
                session.upload = Upload::None;
                session.uploadData.clear();
            }
            break;
        }
        if (session.upload == Upload::Trailer) {
            const qsizetype take =
                std::min<qsizetype>(4 - session.uploadTrailer.size(), in.size() - pos);
            session.uploadTrailer.append(in.mid(pos, take));
            pos += take;
            if (session.uploadTrailer.size() < 4)
                break;
            const QByteArray trailer = session.uploadTrailer;
            session.uploadTrailer.clear();
            if (trailer == Frame::trailer(session.uploadData)) {
                storeUpload(session, session.uploadData, result);
            } else if (trailer.at(0) != Frame::kStart) {
                // The sender paused inside its data: these bytes continue it.
                session.uploadData.append(trailer);
                session.upload = Upload::Data;
            } else {
                // A request instead of a trailer: the sender gave up the upload. Its data are
                // dropped and these bytes are read as frames again.
                ignore(result, session.uploadData, QStringLiteral("upload data without a trailer"));
                session.upload = Upload::None;
                session.uploadData.clear();
                in = trailer + in.mid(pos);
                pos = 0;
            }
            continue;
        }

        const qsizetype start = in.indexOf(Frame::kStart, pos);
        if (start < 0) {
            drop(pos, in.size() - pos);
            pos = in.size();
            break;
        }
        if (start > pos)
            drop(pos, start - pos);
        pos = start;
        if (in.size() - pos < Frame::kLength)
            break;
        if (in.at(pos + Frame::kLength - 1) != Frame::kEnd) {
            // A start byte without a frame behind it: resynchronise on the next start byte.
            drop(pos, 1);
            ++pos;
            continue;
        }
        const QByteArray frame = in.mid(pos, Frame::kLength);
        pos += Frame::kLength;
        handleFrame(session, frame, result);
    }
    in.remove(0, pos);
    if (droppedCount > 0)
        ignore(result, dropped, QStringLiteral("%1 bytes outside frames").arg(droppedCount));
}

void UnitProtocol::handleFrame(Session &session, const QByteArray &frame, Result &result)
{
    const quint8 command = byteAt(frame, 1);
    const quint8 function = byteAt(frame, 10);
    const quint32 user = userFromFrame(frame);
    const QByteArray u = userBytes(user);
    auto recognised = [&] { result.events.append(Event::make(Event::Kind::Request, frame)); };

    // Right after an announce, the fixed second header opens the data, even though it reads
    // like the announce of template 1 of user 1.
    if (session.upload == Upload::Announced) {
        session.upload = Upload::None;
        if (isUploadDataHeader(frame)) {
            recognised();
            session.upload = Upload::Data;
            session.uploadData.clear();
            return;
        }
    }

    if (command == kCmdHandshake && function == kFnHandshake) {
        recognised();
        result.reply +=
            Frame::frame(Frame::body(kCmdHandshake, data8({kFnHandshake}), kStatusDone));
    } else if (command == kCmdEnroll && function == kFnEnroll) {
        recognised();
        result.reply += Frame::frame(Frame::body(kCmdEnroll, u, kStatusDone));
        m_enrollUser = user;
        m_enrollSession = session.id;
        result.events.append(Event::make(Event::Kind::EnrollStarted, frame, user));
    } else if (command == kCmdDelete && function == 0x00) {
        recognised();
        const bool existed = m_users.remove(user) > 0;
        result.reply += Frame::frame(
            Frame::body(kCmdDelete, QByteArray(8, '\0'), existed ? kStatusDone : kStatusUnknown));
        Event e = Event::make(Event::Kind::UserDeleted, frame, user);
        e.existed = existed;
        result.events.append(e);
    } else if (command == kCmdTemplate && (function == kFnFirst || function == kFnNext)) {
        recognised();
        if (function == kFnFirst) {
            result.reply += Frame::frame(Frame::body(kCmdTemplate, frame.mid(2, 8), kStatusDone));
            session.readUser = user;
            session.readNext = 0;
        }
        const QList<QByteArray> list = m_users.value(session.readUser);
        QByteArray data;
        if (session.readNext >= 0 && session.readNext < list.size())
            data = list.at(session.readNext++);
        else
            session.readNext = -1;
        result.reply += dataBlock(kCmdTemplate, 1, data);
    } else if (command == kCmdUserList && (function == kFnFirst || function == kFnNext)) {
        recognised();
        if (function == kFnFirst || session.listNextPage < 0) {
            session.listRecords = buildListRecords();
            session.listNextPage = function == kFnFirst ? 0 : 1;
        }
        if (function == kFnFirst)
            result.reply += Frame::frame(Frame::body(kCmdUserList, frame.mid(2, 8), kStatusDone));
        result.reply += listPage(session, session.listNextPage++);
    } else if (command == kCmdUpload && (function == kFnFirst || function == kFnAppend)) {
        recognised();
        session.upload = Upload::Announced;
        session.uploadUser = user;
        session.uploadAppends = function == kFnAppend;
        session.uploadData.clear();
        session.uploadTrailer.clear();
    } else {
        ignore(result, frame, QStringLiteral("unknown request"));
    }
}

void UnitProtocol::storeUpload(Session &session, const QByteArray &data, Result &result)
{
    session.upload = Upload::None;
    session.uploadTrailer.clear();
    if (data.isEmpty()) {
        ignore(result, {}, QStringLiteral("empty upload"));
        session.uploadData.clear();
        return;
    }
    QList<QByteArray> &list = m_users[session.uploadUser];
    // Template 1 starts the user's set afresh; every other template is added to it.
    if (!session.uploadAppends)
        list.clear();
    list.append(data);
    Event e = Event::make(Event::Kind::TemplateStored, data, session.uploadUser);
    e.index = static_cast<int>(list.size());
    result.events.append(e);
    session.uploadData.clear();
}

QByteArray UnitProtocol::buildListRecords() const
{
    QByteArray records;
    for (auto it = m_users.cbegin(); it != m_users.cend(); ++it) {
        for (int i = 0; i < it->size(); ++i) {
            records += userBytes(it.key());
            records += data8({(i + 1) & 0xFF, 0, 0, 0});
        }
    }
    return records;
}

QByteArray UnitProtocol::listPage(Session &session, int page) const
{
    const qsizetype pageBytes = qsizetype(m_options.pageRecords) * 8;
    const qsizetype pages =
        std::max<qsizetype>(1, (session.listRecords.size() + pageBytes - 1) / pageBytes);
    const QByteArray data = session.listRecords.mid(page * pageBytes, pageBytes);
    return dataBlock(kCmdUserList, static_cast<int>(std::min<qsizetype>(pages, 255)), data);
}

UnitProtocol::FingerResult UnitProtocol::finger(quint32 user, const QList<int> &qualities)
{
    FingerResult result;
    const QByteArray u = userBytes(user);
    QByteArray out;
    int target = 0;
    int lastQuality = 0;
    if (m_enrollUser) {
        for (const int q : qualities) {
            lastQuality = std::clamp(q, 0, 255);
            out += Frame::frame(
                Frame::body(kCmdEnroll, u + data8({lastQuality, 0, 0, 0}), kStatusQuality));
        }
        QList<QByteArray> fresh;
        for (int i = 0; i < m_options.enrollTemplates; ++i)
            fresh.append(randomTemplate(m_options.templateBytes));
        setTemplates(user, fresh);
        target = m_sessions.contains(m_enrollSession) ? m_enrollSession : 0;
        m_enrollUser.reset();
        m_enrollSession = 0;
        result.events.append(Event::make(Event::Kind::Enrolled, {}, user));
    }
    out += Frame::frame(Frame::body(kCmdUserFrame, u + data8({lastQuality, 0, 0, 0}), kStatusDone));
    if (target != 0) {
        result.deliveries.append({target, out});
    } else {
        for (const int session : streamSessions())
            result.deliveries.append({session, out});
    }
    return result;
}

std::optional<quint32> UnitProtocol::pendingEnrollment() const
{
    return m_enrollUser;
}

void UnitProtocol::setTemplates(quint32 user, const QList<QByteArray> &templates)
{
    if (templates.isEmpty())
        m_users.remove(user);
    else
        m_users.insert(user, templates);
}

QByteArray UnitProtocol::randomTemplate(int bytes)
{
    QByteArray out(std::max(bytes, 0), '\0');
    for (char &c : out)
        c = static_cast<char>(m_random.bounded(256));
    return out;
}

QByteArray UnitProtocol::userBytes(quint32 user)
{
    return data8({int(user & 0xFF), int((user >> 8) & 0xFF), int((user >> 16) & 0xFF),
                  int((user >> 24) & 0xFF)});
}

quint32 UnitProtocol::userFromFrame(const QByteArray &frame)
{
    if (frame.size() < 6)
        return 0;
    return quint32(byteAt(frame, 2)) | quint32(byteAt(frame, 3)) << 8 |
           quint32(byteAt(frame, 4)) << 16 | quint32(byteAt(frame, 5)) << 24;
}

// A block answer: the data header (byte 3 the page count, bytes 8 and 9 the data length, high
// byte first), the data, and the trailer computed over the data.
QByteArray UnitProtocol::dataBlock(quint8 command, int pageCount, const QByteArray &data)
{
    const auto length = static_cast<int>(std::min<qsizetype>(data.size(), kMaxUploadBytes));
    const QByteArray header = Frame::frame(Frame::body(
        command, data8({pageCount & 0xFF, 0, 0, 0, 0, (length >> 8) & 0xFF, length & 0xFF, 0}),
        0x00));
    return header + data + Frame::trailer(data);
}

void UnitProtocol::ignore(Result &result, const QByteArray &bytes, const QString &why)
{
    Event e = Event::make(Event::Kind::Ignored, bytes);
    e.text = why;
    result.events.append(e);
}
