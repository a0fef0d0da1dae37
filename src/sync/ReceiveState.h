#pragma once

#include "sync/DatagramClassifier.h"
#include "util/UserNumber.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// What one sender's datagrams have announced so far: the template set being received and
// the data of its current template. Kept between datagrams; changed only by
// receiveDatagram().
struct ReceiveState
{
    // The set being received: the user its template-1 header named (none before any set).
    // Never 1: a set announced for user 1 cannot be told from the second header that every
    // upload sends, so it starts no set (see setOfUserOne).
    std::optional<UserNumber> user;
    QByteArray rxTemplate;     // the last template data received
    qint16 templateNumber = 0; // the receiver's count of the set's templates, from 1

    // The template whose data arrives now may be filed under user: false before any
    // set, after a header of another template that names another user, and throughout a set
    // announced for user 1.
    bool templateKept = false;
    // Why a template of the set is not filed (empty: no set, nothing worth saying).
    QString notKeptReason;
    // The user a refused set named (1 or 0), while its templates arrive.
    std::optional<UserNumber> refusedUser;
    // The last datagram was an upload header: a template-1 header for user 1 right after one
    // is the upload's second header and changes nothing.
    bool afterHeader = false;
};

// What the handler does for one datagram, in this order: logs lines, removes a user's
// templates (logging each file), writes a template file (logging it), logs a line.
struct ReceiveDecision
{
    Datagram::Kind kind = Datagram::Kind::Other;
    QStringList logLines;                 // written right away, in order ("RX_UDP: ..." lines)
    std::optional<UserNumber> deleteUser; // remove every template file of this user
    struct Write
    {
        UserNumber user;
        qint16 templateNumber = 0;
        QByteArray bytes;
        // Template 1 of a set: when the user's first template file exists, every file of
        // the user goes first, so that nothing of an older set survives.
        bool startsNewSet = false;
    };
    std::optional<Write> write;
    QString notWrittenLine; // logged for a trailer whose template is not filed
};

// The receive state machine: classifies the datagram, updates the state and says what to do.
// Pure, no I/O: safe on any state and any byte string. Files are only ever named by the
// returned users, made from 4 bytes: their texts hold decimal digits only.
ReceiveDecision receiveDatagram(ReceiveState &state, const QByteArray &datagram);

inline constexpr qint16 kLastTemplateNumber = 32767;
// The largest template a station files. The largest real template is a few kilobytes; four
// times that leaves room for any unit's format while one datagram cannot make the station
// write a file of up to 64 kB (nor hold one per sender). Longer template data is not kept.
inline constexpr qsizetype kLargestTemplate = 16 * 1024;
