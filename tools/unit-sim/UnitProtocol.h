#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMap>
#include <QRandomGenerator>
#include <QString>

#include <optional>

// The protocol engine of the simulated unit. It holds the unit's users and templates, takes
// the bytes each transport session received and returns the bytes to send back. It does no
// I/O and keeps no timers: a byte-stream transport tells it when the line has been silent
// (streamIdle), which is how the raw data of a template upload is delimited on a stream.
class UnitProtocol
{
public:
    struct Options
    {
        int templateBytes = 384; // size of each template an enrollment makes
        int enrollTemplates = 2; // templates an enrollment makes
        int pageRecords = 64;    // 8-byte records per user-list page
        quint64 randomSeed = 0;  // 0: seed from the system
    };

    enum class Transport { Stream, Datagram };

    struct Event
    {
        enum class Kind {
            Request,        // a recognised request frame (bytes)
            Ignored,        // bytes that were dropped (bytes, text says why)
            EnrollStarted,  // an enroll request is now pending (user)
            Enrolled,       // an enrollment completed (user)
            TemplateStored, // an upload stored a template (user, index from 1)
            UserDeleted,    // a delete request was carried out (user, existed)
        };
        Kind kind;
        QByteArray bytes;
        quint32 user = 0;
        int index = 0;
        bool existed = false;
        QString text;

        static Event make(Kind kind, const QByteArray &bytes, quint32 user = 0)
        {
            Event e{kind, bytes, user, 0, false, {}};
            return e;
        }
    };

    struct Result
    {
        QByteArray reply; // bytes to send back on the session that was fed
        QList<Event> events;
    };

    struct Delivery
    {
        int session;
        QByteArray bytes;
    };

    struct FingerResult
    {
        QList<Delivery> deliveries;
        QList<Event> events;
    };

    using Users = QMap<quint32, QList<QByteArray>>;

    static constexpr int kMaxUploadBytes = 65535; // the data header carries a 16-bit length
    static constexpr int kMaxPageRecords = kMaxUploadBytes / 8;

    UnitProtocol();
    explicit UnitProtocol(const Options &options);

    const Options &options() const { return m_options; }

    int openSession(Transport transport);
    void closeSession(int session);
    bool hasSession(int session) const { return m_sessions.contains(session); }
    QList<int> streamSessions() const;

    // Bytes received on a session. A stream session may deliver any fragments; a datagram
    // session delivers one datagram per call.
    Result receive(int session, const QByteArray &bytes);

    // The stream of this session has been silent for a while: ends the raw data of an upload.
    Result streamIdle(int session);

    // A finger on the sensor. With an enrollment pending it completes it: one quality frame
    // per quality, then the user frame, and the user gets fresh templates. Otherwise only the
    // user frame is sent (a recognised finger). Frames go to the session that asked for the
    // enrollment, or to every stream session when there is none.
    FingerResult finger(quint32 user, const QList<int> &qualities);
    std::optional<quint32> pendingEnrollment() const;

    const Users &users() const { return m_users; }
    QList<QByteArray> templates(quint32 user) const { return m_users.value(user); }
    void setTemplates(quint32 user, const QList<QByteArray> &templates);
    QByteArray randomTemplate(int bytes);

    // Frames of the answers, exposed for the tests and the documentation.
    static QByteArray userBytes(quint32 user);
    static quint32 userFromFrame(const QByteArray &frame);
    static QByteArray dataBlock(quint8 command, int pageCount, const QByteArray &data);

private:
    enum class Upload { None, Announced, Data, Trailer };

    struct Session
    {
        int id = 0;
        Transport transport = Transport::Stream;
        QByteArray pending; // unconsumed received bytes (frame assembly)
        Upload upload = Upload::None;
        quint32 uploadUser = 0;
        bool uploadAppends = false;
        QByteArray uploadData;
        QByteArray uploadTrailer;
        quint32 readUser = 0;   // template read cursor
        int readNext = -1;      // index of the next template to send, -1: none
        QByteArray listRecords; // user-list snapshot taken by the first page
        int listNextPage = -1;
    };

    void scanFrames(Session &session, Result &result);
    void handleFrame(Session &session, const QByteArray &frame, Result &result);
    void feedUploadData(Session &session, QByteArray &pending, Result &result);
    void storeUpload(Session &session, const QByteArray &data, Result &result);
    QByteArray listPage(Session &session, int page) const;
    QByteArray buildListRecords() const;
    static void ignore(Result &result, const QByteArray &bytes, const QString &why);

    Options m_options;
    Users m_users;
    QHash<int, Session> m_sessions;
    int m_nextSession = 1;
    int m_enrollSession = 0;
    std::optional<quint32> m_enrollUser;
    QRandomGenerator m_random;
};
