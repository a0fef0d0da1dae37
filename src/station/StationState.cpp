#include "station/StationState.h"

#include "config/TargetEntry.h"

QString captionOf(LinkStatus status)
{
    switch (status) {
    case LinkStatus::Connected:
        return QStringLiteral("Connected");
    case LinkStatus::Error:
        return QStringLiteral("Error");
    case LinkStatus::Disconnected:
        break;
    }
    return QStringLiteral("Disconnected");
}

void StationState::setSourceStatus(LinkStatus status)
{
    assign(m_sourceStatus, status, Field::SourceStatus);
}

void StationState::setSourceStatusDetail(const QString &detail)
{
    assign(m_sourceStatusDetail, detail, Field::SourceStatusDetail);
}

void StationState::setTcpStatus(const QString &status)
{
    assign(m_tcpStatus, status, Field::TcpStatus);
}

void StationState::setSelectedLink(Link link)
{
    assign(m_selectedLink, link, Field::SelectedLink);
}

void StationState::setSerialPort(const QString &port)
{
    assign(m_serialPort, port, Field::SerialPort);
}

void StationState::setTcpAddress(const QString &address)
{
    assign(m_tcpAddress, address, Field::TcpAddress);
}

void StationState::setHandshakePending(bool pending)
{
    assign(m_handshakePending, pending, Field::HandshakePending);
}

void StationState::setMode(Mode mode)
{
    assign(m_mode, mode, Field::Mode);
}

void StationState::setPasswordPrompt(bool shown)
{
    assign(m_passwordPrompt, shown, Field::PasswordPrompt);
}

void StationState::setPasswordResetOffered(bool offered)
{
    assign(m_passwordResetOffered, offered, Field::PasswordResetOffered);
}

void StationState::setPasswordText(const QString &text)
{
    assign(m_passwordText, text, Field::PasswordText);
}

void StationState::setUserText(const QString &text)
{
    assign(m_userText, text, Field::UserText);
}

void StationState::setBackupArmed(bool armed)
{
    assign(m_backupArmed, armed, Field::BackupArmed);
}

void StationState::setQuality(const QString &quality)
{
    assign(m_quality, quality, Field::Quality);
}

QString StationState::bannerLine(int line) const
{
    if (line < 0 || line >= int(m_bannerLines.size()))
        return {};
    return m_bannerLines[line];
}

void StationState::setBannerLine(int line, const QString &text)
{
    static constexpr std::array<Field, 3> kFields{Field::BannerLine1, Field::BannerLine2,
                                                  Field::ErrorLine};
    if (line < 0 || line >= int(m_bannerLines.size()))
        return;
    assign(m_bannerLines[line], text, kFields[line]);
}

void StationState::setBannerShown(bool shown)
{
    assign(m_bannerShown, shown, Field::BannerShown);
}

void StationState::setBannerPicture(int picture)
{
    assign(m_bannerPicture, picture, Field::BannerPicture);
}

void StationState::setBusy(bool busy)
{
    assign(m_busy, busy, Field::Busy);
}

void StationState::setConfigFolder(const QString &folder)
{
    assign(m_configFolder, folder, Field::ConfigFolder);
}

void StationState::setTemplatesFolder(const QString &folder)
{
    assign(m_templatesFolder, folder, Field::TemplatesFolder);
}

void StationState::setPrefix(const QString &prefix)
{
    assign(m_prefix, prefix, Field::Prefix);
}

void StationState::setSuffix(const QString &suffix)
{
    assign(m_suffix, suffix, Field::Suffix);
}

void StationState::setLogging(bool on)
{
    assign(m_logging, on, Field::Logging);
}

void StationState::setLogCaption(const QString &caption)
{
    assign(m_logCaption, caption, Field::LogCaption);
}

void StationState::setTypingProblem(const QString &problem)
{
    assign(m_typingProblem, problem, Field::TypingProblem);
}

void StationState::setTargets(const QList<TargetUnit> &targets)
{
    // The selection is the view's to move when lines go: it reports the new one.
    assign(m_targets, targets, Field::Targets);
}

void StationState::setTargetTicked(int row, bool ticked)
{
    if (row < 0 || row >= m_targets.size() || m_targets[row].ticked == ticked)
        return;
    m_targets[row].ticked = ticked;
    emit changed(Field::Targets);
}

void StationState::setTarget(int row, const TargetUnit &target)
{
    if (row < 0 || row >= m_targets.size() || m_targets[row] == target)
        return;
    m_targets[row] = target;
    emit changed(Field::Targets);
}

void StationState::insertTarget(int row, const TargetUnit &target)
{
    m_targets.insert(qBound(0, row, int(m_targets.size())), target);
    emit changed(Field::Targets);
}

void StationState::removeTargets(int row, int count)
{
    if (row < 0 || count <= 0 || row >= m_targets.size())
        return;
    m_targets.remove(row, qMin(count, int(m_targets.size()) - row));
    emit changed(Field::Targets);
}

void StationState::setCurrentTarget(int row)
{
    assign(m_currentTarget, row >= 0 ? row : -1, Field::CurrentTarget);
}

void StationState::setLastUser(const LastUser &last)
{
    assign(m_lastUser, last, Field::LastUser);
}

void StationState::setListingUsers(Listing listing)
{
    assign(m_listingUsers, listing, Field::ListingUsers);
}

// Source link (link/).
void StationState::setReadModeShown(bool shown)
{
    assign(m_readModeShown, shown, Field::ReadModeShown);
}

void StationState::setPrefixProblem(const QString &problem)
{
    assign(m_prefixProblem, problem, Field::PrefixProblem);
}

void StationState::setSuffixProblem(const QString &problem)
{
    assign(m_suffixProblem, problem, Field::SuffixProblem);
}

// -- Synchronization (sync/):
void StationState::setSyncProgress(const SyncProgress &progress)
{
    assign(m_syncProgress, progress, Field::SyncProgress);
}

QStringList StationState::usableTickedAddresses(
    const std::function<void(const QString &problem)> &skipped) const
{
    QStringList addresses;
    for (const TargetUnit &target : m_targets) {
        if (!target.ticked)
            continue;
        const QString address = TargetEntry::addressOf(target.line);
        const QString problem = TargetEntry::addressProblem(address);
        if (problem.isEmpty())
            addresses.append(address);
        else if (skipped)
            skipped(problem);
    }
    return addresses;
}

// -- Configuration and diagnostics (config/, diag/):

void StationState::setStarted(bool started)
{
    assign(m_started, started, Field::Started);
}

void StationState::setLaidOutMode(Mode mode)
{
    assign(m_laidOutMode, mode, Field::LaidOutMode);
}

void StationState::setTargetFrameShown(bool shown)
{
    assign(m_targetFrameShown, shown, Field::TargetFrameShown);
}
