#include "sync/ReceiveState.h"

namespace {

const QString kPrefix = QStringLiteral("RX_UDP: ");
// No user has number 0: nothing is filed or deleted for it.
const QString kNoUser = QStringLiteral("0");

QString twoDigits(int number)
{
    return QStringLiteral("%1").arg(number, 2, 10, QChar(u'0'));
}

bool isDecimalText(const QString &text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

void startSet(ReceiveState &state, const QString &user, ReceiveDecision &decision)
{
    state.userNumber = user;
    state.templateNumber = 1;
    state.rxTemplate.clear(); // data held belongs to the template announced before
    state.templateKept = true;
    state.notKeptReason.clear();
    state.refusedUser.clear();
    decision.logLines << kPrefix + QStringLiteral("RX TEMPLATE USER 01 INIT");
}

// A set whose templates are not filed: user 1's (its template-1 header cannot be told from
// the second header of every upload, or it is an upload whose own header was lost) and user
// 0's (no user has that number: such files could never be deleted nor sent to a new unit).
// Its data must not be filed under the user of the set received before either.
void startRefusedSet(ReceiveState &state, const QString &user, ReceiveDecision &decision)
{
    state.rxTemplate.clear();
    state.templateKept = false;
    state.refusedUser = user;
    if (user == Datagram::kSecondHeaderUser) {
        state.notKeptReason = QStringLiteral("templates of user 1 cannot be received");
    } else {
        state.notKeptReason = QStringLiteral("user 0 is not a user number");
        decision.logLines << kPrefix + QStringLiteral("Templates of user 0 are not filed");
    }
    state.userNumber.clear();
}

void nextTemplate(ReceiveState &state, const QString &headerUser, ReceiveDecision &decision)
{
    if (state.templateNumber < kLastTemplateNumber)
        ++state.templateNumber;
    state.rxTemplate.clear();
    decision.logLines << kPrefix + QStringLiteral("RX TEMPLATE = ") +
                             twoDigits(state.templateNumber) + QStringLiteral(" INIT");
    if (state.userNumber.isEmpty()) {
        // No set, or a refused set (of user 1 or 0): nothing of it is filed.
        state.templateKept = false;
        if (!state.notKeptReason.isEmpty() && headerUser != Datagram::kSecondHeaderUser &&
            headerUser != state.refusedUser)
            state.notKeptReason = QStringLiteral("its header names user ") + headerUser +
                                  QStringLiteral(", the set being received is of user ") +
                                  state.refusedUser;
        return;
    }
    if (headerUser != state.userNumber) {
        // Filed under the set's user, it would land under a user its own header does not
        // name (its set's template-1 header was lost).
        state.templateKept = false;
        state.notKeptReason = QStringLiteral("its header names user ") + headerUser +
                              QStringLiteral(", the set being received is of user ") +
                              state.userNumber;
        return;
    }
    state.templateKept = true;
    state.notKeptReason.clear();
}

void endOfData(ReceiveState &state, ReceiveDecision &decision)
{
    if (state.rxTemplate.isEmpty() || state.userNumber.isEmpty() || !state.templateKept) {
        if (!state.rxTemplate.isEmpty() && !state.notKeptReason.isEmpty())
            decision.notWrittenLine =
                kPrefix + QStringLiteral("Template not written: ") + state.notKeptReason;
        return;
    }
    if (!isDecimalText(state.userNumber))
        return; // never the case: user texts come from 4 bytes as decimal digits
    decision.write = ReceiveDecision::Write{state.userNumber, state.templateNumber,
                                            state.rxTemplate, state.templateNumber == 1};
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
        const QString user = Datagram::userText(datagram);
        if (user == kNoUser)
            startRefusedSet(state, user, decision);
        else if (user != Datagram::kSecondHeaderUser)
            startSet(state, user, decision);
        else if (!afterHeader)
            startRefusedSet(state, user, decision);
        // else: the second header of an upload; it changes nothing.
        break;
    }
    case Datagram::Kind::UploadHeaderOther:
        state.afterHeader = true;
        nextTemplate(state, Datagram::userText(datagram), decision);
        break;
    case Datagram::Kind::DeleteUser: {
        const QString user = Datagram::userText(datagram);
        if (isDecimalText(user) && user != kNoUser)
            decision.deleteUserText = user;
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
