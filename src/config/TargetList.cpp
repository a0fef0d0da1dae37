#include "config/TargetList.h"

#include "log/ActivityLog.h"
#include "platform/Dialogs.h"
#include "util/Blanks.h"

#include <QScopedValueRollback>

namespace {

const QString kAddressTitle = QStringLiteral("Target Trelvane IP Address");
const QString kDescriptionTitle = QStringLiteral("Target Trelvane Description");

// An address this short cannot be a dotted unit address worth describing ("1.2.3.4" is the
// shortest); longer ones get a description.
constexpr int kLongestWithoutDescription = 7;

} // namespace

TargetList::TargetList(StationState &state, Dialogs &dialogs, ActivityLog &log)
    : m_state(state), m_dialogs(dialogs), m_log(log)
{
    // The operator chose an entry (a click, or the keyboard moving the selection): Tab into
    // the list makes an entry current without selecting it, and that chooses nothing.
    connect(&m_state, &StationState::changed, this, [this](StationState::Field field) {
        if (field == StationState::Field::CurrentTarget && !m_changingList)
            LST_IP_Click();
    });
}

QString TargetList::entryText(const QString &address, const QString &description)
{
    return TargetEntry::text(address, description);
}

QString TargetList::addressOf(const QString &entry)
{
    return TargetEntry::addressOf(entry);
}

QString TargetList::descriptionOf(const QString &entry)
{
    return TargetEntry::descriptionOf(entry);
}

QStringList TargetList::tickedAddresses() const
{
    return m_state.usableTickedAddresses([this](const QString &problem) {
        m_log.WRITE_LOG(QStringLiteral("Target unit skipped: ") + problem);
    });
}

int TargetList::usableTickedCount() const
{
    return int(m_state.usableTickedAddresses().size());
}

std::optional<TargetUnit> TargetList::selectedEntry() const
{
    const int row = m_state.currentTarget();
    if (row < 0 || row >= m_state.targets().size())
        return std::nullopt;
    return m_state.targets().at(row);
}

void TargetList::changeTargets(const QList<TargetUnit> &targets)
{
    const QScopedValueRollback guard(m_changingList, true);
    m_state.setTargets(targets);
}

void TargetList::addEntry(const QString &text)
{
    QList<TargetUnit> targets = m_state.targets();
    targets.append({text, true});
    changeTargets(targets);
}

void TargetList::setEntries(const QStringList &texts)
{
    QList<TargetUnit> targets;
    targets.reserve(texts.size());
    for (const QString &text : texts)
        targets.append({text, true});
    const QScopedValueRollback guard(m_changingList, true);
    m_state.setCurrentTarget(-1);
    m_state.setTargets(targets);
}

void TargetList::B_IP_ADD_Click()
{
    const QString previous = m_state.ID_IP;
    m_state.ID_IP = m_dialogs.inputBox(QStringLiteral("Enter the IP address:"), kAddressTitle);
    if (!acceptableAddress(m_state.ID_IP)) {
        if (!trimBlanks(m_state.ID_IP).isEmpty())
            m_state.ID_IP = previous; // refused: nothing changes
        return;
    }
    QString description;
    if (trimBlanks(m_state.ID_IP).size() > kLongestWithoutDescription)
        description =
            m_dialogs.inputBox(QStringLiteral("Enter the description:"), kDescriptionTitle);
    addEntry(entryText(m_state.ID_IP, description));
    emit settingsChanged();
}

void TargetList::B_EDIT_TERM_Click()
{
    const int row = m_state.currentTarget();
    const std::optional<TargetUnit> entry = selectedEntry();
    if (!entry)
        return;
    const QString previous = m_state.ID_IP;
    m_state.ID_IP = m_dialogs.inputBox(QStringLiteral("Edit the IP address:"), kAddressTitle,
                                       addressOf(entry->line));
    if (!acceptableAddress(m_state.ID_IP)) {
        if (!trimBlanks(m_state.ID_IP).isEmpty())
            m_state.ID_IP = previous;
        return;
    }
    QString description;
    if (trimBlanks(m_state.ID_IP).size() > kLongestWithoutDescription)
        description = m_dialogs.inputBox(QStringLiteral("Edit the description:"), kDescriptionTitle,
                                         descriptionOf(entry->line));
    QList<TargetUnit> targets = m_state.targets();
    targets[row] = {entryText(m_state.ID_IP, description), true};
    changeTargets(targets);
    emit settingsChanged();
}

void TargetList::B_IP_DEL_Click()
{
    if (selectedEntry()) {
        const QScopedValueRollback guard(m_changingList, true);
        QList<TargetUnit> targets = m_state.targets();
        targets.removeAt(m_state.currentTarget());
        m_state.setCurrentTarget(-1); // no entry is chosen after a delete
        m_state.setTargets(targets);
    }
    emit settingsChanged();
}

void TargetList::LST_IP_Click()
{
    const std::optional<TargetUnit> entry = selectedEntry();
    if (!entry)
        return;
    m_state.ID_IP = addressOf(entry->line);
    m_state.setTcpAddress(m_state.ID_IP);
}

bool TargetList::acceptableAddress(const QString &typed)
{
    if (trimBlanks(typed).isEmpty())
        return false;
    if (typed.size() > kAddressWidth) {
        m_dialogs.messageBox(
            QStringLiteral("The address \"%1\" is longer than %2 characters; it was not saved.")
                .arg(typed)
                .arg(kAddressWidth),
            kAddressTitle, Dialogs::Icon::Critical);
        return false;
    }
    const QString problem = TargetEntry::addressProblem(typed);
    if (!problem.isEmpty()) {
        m_dialogs.beep(2);
        m_dialogs.messageBox(problem + QStringLiteral("\r\nThe address was not saved."),
                             kAddressTitle, Dialogs::Icon::Critical);
        return false;
    }
    return true;
}
