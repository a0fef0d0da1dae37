#include "sync/ReceiveState.h"

namespace {

const QString kPrefix = QStringLiteral("RX_UDP: ");
// No user has number 0: nothing is filed or deleted for it.
constexpr quint32 kNoUser = 0;

QString twoDigits(int number)
{
    return QStringLiteral("%1").arg(number, 2, 10, QChar(u'0'));
}

// A header is at least Datagram::kFramedMinimum bytes long, so it always names a user.
UserNumber headerUser(const QByteArray &datagram)
{
    return Datagram::user(datagram).value_or(UserNumber::fromBytes(QByteArray()));
}

void startSet(ReceiveState &state, const UserNumber &user, ReceiveDecision &decision)
{
    state.user = user;
    state.templateNumber = 1;
    state.rxTemplate.clear(); // data held belongs to the template announced before
    state.templateKept = true;
    state.notKeptReason.clear();
    state.refusedUser.reset();
    decision.logLines << kPrefix + QStringLiteral("RX TEMPLATE USER 01 INIT");
}

// A set whose templates are not filed: user 1's (its template-1 header cannot be told from
// the second header of every upload, or it is an upload whose own header was lost) and user
// 0's (no user has that number: such files could never be deleted nor sent to a new unit).
// Its data must not be filed under the user of the set received before either.
void startRefusedSet(ReceiveState &state, const UserNumber &user, ReceiveDecision &decision)
{
    state.rxTemplate.clear();
    state.templateKept = false;
    state.refusedUser = user;
    if (user.value() == Datagram::kSecondHeaderUser) {
        state.notKeptReason = QStringLiteral("templates of user 1 cannot be received");
    } else {
        state.notKeptReason = QStringLiteral("user 0 is not a user number");
        decision.logLines << kPrefix + QStringLiteral("Templates of user 0 are not filed");
    }
    state.user.reset();
}

void nextTemplate(ReceiveState &state, const UserNumber &headerUser, ReceiveDecision &decision)
{
    if (state.templateNumber < kLastTemplateNumber)
        ++state.templateNumber;
    state.rxTemplate.clear();
    decision.logLines << kPrefix + QStringLiteral("RX TEMPLATE = ") +
                             twoDigits(state.templateNumber) + QStringLiteral(" INIT");
    if (!state.user) {
        // No set, or a refused set (of user 1 or 0): nothing of it is filed.
        state.templateKept = false;
        if (!state.notKeptReason.isEmpty() && state.refusedUser &&
            headerUser.value() != Datagram::kSecondHeaderUser && headerUser != *state.refusedUser)
            state.notKeptReason = QStringLiteral("its header names user ") + headerUser.text() +
                                  QStringLiteral(", the set being received is of user ") +
                                  state.refusedUser->text();
        return;
    }
    if (headerUser != *state.user) {
        // Filed under the set's user, it would land under a user its own header does not
        // name (its set's template-1 header was lost).
        state.templateKept = false;
        state.notKeptReason = QStringLiteral("its header names user ") + headerUser.text() +
                              QStringLiteral(", the set being received is of user ") +
                              state.user->text();
        return;
    }
    state.templateKept = true;
    state.notKeptReason.clear();
}

void endOfData(ReceiveState &state, ReceiveDecision &decision)
{
    if (state.rxTemplate.isEmpty() || !state.user || !state.templateKept) {
        if (!state.rxTemplate.isEmpty() && !state.notKeptReason.isEmpty())
            decision.notWrittenLine =
                kPrefix + QStringLiteral("Template not written: ") + state.notKeptReason;
        return;
    }
    decision.write = ReceiveDecision::Write{*state.user, state.templateNumber, state.rxTemplate,
                                            state.templateNumber == 1};
}

} // namespace

ReceiveDecision receiveDatagram(ReceiveState &state, const QByteArray &datagram)
{
    ReceiveDecision decision;
    decision.kind = Datagram::classify(datagram);
    const bool afterHeader = state.afterHeader;
    state.afterHeader = false;

    switch (decision.kind) {
    case Datagram::Kind::UploadHeaderFirst: {
        state.afterHeader = true;
        const UserNumber user = headerUser(datagram);
        if (user.value() == kNoUser)
            startRefusedSet(state, user, decision);
        else if (user.value() != Datagram::kSecondHeaderUser)
            startSet(state, user, decision);
        else if (!afterHeader)
            startRefusedSet(state, user, decision);
        // else: the second header of an upload; it changes nothing.
        break;
    }
    case Datagram::Kind::UploadHeaderOther:
        state.afterHeader = true;
        nextTemplate(state, headerUser(datagram), decision);
        break;
    case Datagram::Kind::DeleteUser: {
        const UserNumber user = headerUser(datagram);
        if (user.value() != kNoUser)
            decision.deleteUser = user;
        break;
    }
    case Datagram::Kind::TemplateData:
        if (datagram.size() > kLargestTemplate) {
            // Not kept, and the data held before is not filed in its place either.
            state.rxTemplate.clear();
            decision.logLines << kPrefix +
                                     QStringLiteral("Template not kept: %1 bytes, more than the "
                                                    "largest template (%2 bytes)")
                                         .arg(datagram.size())
                                         .arg(kLargestTemplate);
            break;
        }
        state.rxTemplate = datagram;
        decision.logLines << kPrefix + QStringLiteral("RX TEMPLATE  ") +
                                 QString::number(datagram.size());
        break;
    case Datagram::Kind::DataTrailer:
        endOfData(state, decision);
        break;
    case Datagram::Kind::Other:
        break;
    }
    return decision;
}
