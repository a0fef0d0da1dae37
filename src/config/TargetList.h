#pragma once

#include "config/TargetEntry.h"
#include "station/StationState.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

class ActivityLog;
class Dialogs;

// The target units (LST_IP): one ticked entry per unit, "address, blanks up to column 17,
// description". Adds, edits and deletes entries at the operator's request and asks for the
// configuration to be saved after every change; choosing an entry (a click, or the keyboard's
// selection keys) makes its unit the current one. Focus alone chooses nothing.
class TargetList : public QObject
{
    Q_OBJECT
public:
    TargetList(StationState &state, Dialogs &dialogs, ActivityLog &log);

    // Width of the address column of an entry.
    static constexpr int kAddressWidth = TargetEntry::kAddressWidth;

    void B_IP_ADD_Click();
    void B_EDIT_TERM_Click();
    void B_IP_DEL_Click();
    void LST_IP_Click();

    // The entry text: the address as typed, blanks up to column 17, the description as typed.
    // An address of 17 characters or more gets no blanks (the handlers refuse longer ones).
    static QString entryText(const QString &address, const QString &description);
    // The first 17 characters, blanks trimmed.
    static QString addressOf(const QString &entry);
    // Everything from character 18 on, blanks trimmed.
    static QString descriptionOf(const QString &entry);

    // Addresses of the ticked entries that name a unit, first to last. A ticked entry whose
    // address names none (kept from an older configuration file) is skipped, with a log line.
    QStringList tickedAddresses() const;
    // How many ticked entries tickedAddresses() would give, without logging.
    int usableTickedCount() const;
    // The entry the operator chose, if any: the one Edit, Delete, Test and View act on.
    std::optional<TargetUnit> selectedEntry() const;
    // Appends a ticked entry with this text.
    void addEntry(const QString &text);
    // Replaces every entry by ticked entries with these texts, in one change (a loaded
    // configuration file); none is chosen afterwards.
    void setEntries(const QStringList &texts);

signals:
    // An entry was added, changed or deleted: the configuration is to be saved.
    void settingsChanged();

private:
    // False when the operator cancelled or left the address blank, or typed one that names
    // no unit (that one is refused with a box saying why).
    bool acceptableAddress(const QString &typed);
    // Replaces the entries, choosing nothing by it.
    void changeTargets(const QList<TargetUnit> &targets);

    StationState &m_state;
    Dialogs &m_dialogs;
    ActivityLog &m_log;
    bool m_changingList = false; // our own edits move the selection: that is no choice
};
