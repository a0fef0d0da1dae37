#pragma once

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>

// How the source link stands, as AFF_SERIAL_STATUS names it.
enum class LinkStatus { Disconnected, Connected, Error };
QString captionOf(LinkStatus status); // "Disconnected", "Connected", "Error"
Q_DECLARE_METATYPE(LinkStatus)

// One line of the target list: "address, blanks up to column 17, description", ticked or not.
struct TargetUnit
{
    QString line;
    bool ticked = true;
    bool operator==(const TargetUnit &) const = default;
};

// The station's shared state as plain values. Every part reads and writes it here; the
// window is one view of it, the headless program another. Each field names, in its comment,
// the control or the form-level variable of the window that shows or held it.
//
// A setter emits changed(field) only when the value changes, so a view may write back what
// it shows without a loop.
class StationState : public QObject
{
    Q_OBJECT
public:
    enum class Field {
        SourceStatus,
        SourceStatusDetail,
        TcpStatus,
        SelectedLink,
        SerialPort,
        TcpAddress,
        HandshakePending,
        Mode,
        PasswordPrompt,
        PasswordResetOffered,
        PasswordText,
        UserText,
        BackupArmed,
        Quality,
        BannerLine1,
        BannerLine2,
        ErrorLine,
        BannerShown,
        BannerPicture,
        Busy,
        ConfigFolder,
        TemplatesFolder,
        Prefix,
        Suffix,
        Logging,
        LogCaption,
        TypingProblem,
        Targets,
        CurrentTarget,
        LastUser,
        ListingUsers,
        // Source link (link/):
        ReadModeShown,
        PrefixProblem,
        SuffixProblem,
        // -- Synchronization (sync/):
        SyncProgress,
        // -- Configuration and diagnostics (config/, diag/):
        Started,
        LaidOutMode,
        TargetFrameShown,
    };
    Q_ENUM(Field)

    explicit StationState(QObject *parent = nullptr) : QObject(parent) {}

    // The source link.
    LinkStatus sourceStatus() const { return m_sourceStatus; } // AFF_SERIAL_STATUS
    bool sourceUp() const { return m_sourceStatus == LinkStatus::Connected; }
    void setSourceStatus(LinkStatus status);
    QString sourceStatusDetail() const { return m_sourceStatusDetail; } // its tooltip
    void setSourceStatusDetail(const QString &detail);
    QString tcpStatus() const { return m_tcpStatus; } // AFF_TCP_STATUS
    void setTcpStatus(const QString &status);
    // The link the parts talk over: SW_COMM(0) serial, SW_COMM(1) TCP; none before start-up
    // has chosen one.
    enum class Link { None, Serial, Tcp };
    Link selectedLink() const { return m_selectedLink; }
    bool serialSelected() const { return m_selectedLink == Link::Serial; }
    void setSelectedLink(Link link);
    QString serialPort() const { return m_serialPort; } // INP_SERIAL_PORT
    void setSerialPort(const QString &port);
    QString tcpAddress() const { return m_tcpAddress; } // INP_IP
    void setTcpAddress(const QString &address);
    // Waiting for the unit's answer to the handshake: FR_ERROR is shown.
    bool handshakePending() const { return m_handshakePending; }
    void setHandshakePending(bool pending);

    // The mode and the enroll password.
    // SW_MODE(0) enroll, SW_MODE(1) read; none until the configuration has chosen one.
    enum class Mode { None, Enroll, Read };
    Mode mode() const { return m_mode; }
    bool enrollMode() const { return m_mode == Mode::Enroll; }
    bool readMode() const { return m_mode == Mode::Read; }
    void setMode(Mode mode);
    bool passwordPrompt() const { return m_passwordPrompt; } // FR_PASSWORD shown
    void setPasswordPrompt(bool shown);
    bool passwordResetOffered() const { return m_passwordResetOffered; } // B_RESET_PASSWORD
    void setPasswordResetOffered(bool offered);
    QString passwordText() const { return m_passwordText; } // INP_PASSWORD
    void setPasswordText(const QString &text);

    // The user being enrolled.
    QString userText() const { return m_userText; } // INP_USER_NUMBER
    void setUserText(const QString &text);
    // The backup trigger is armed: INP_USER_NUMBER is drawn black.
    bool backupArmed() const { return m_backupArmed; }
    void setBackupArmed(bool armed);
    QString quality() const { return m_quality; } // AFF_SCORE
    void setQuality(const QString &quality);

    // The banner. Lines 0 and 1 are AFF_MSG(0) and AFF_MSG(1); 2 is AFF_MSG(2), the error
    // panel's line.
    QString bannerLine(int line) const;
    void setBannerLine(int line, const QString &text);
    bool bannerShown() const { return m_bannerShown; } // FR_MSG visible
    void setBannerShown(bool shown);
    int bannerPicture() const { return m_bannerPicture; } // PIC_MSG: PIC_MSG_LIST(n), -1 hidden
    void setBannerPicture(int picture);
    // An operation holds the window: it is disabled until the banner lets it go.
    bool busy() const { return m_busy; }
    void setBusy(bool busy);
    // The banner countdown, TIM_HIDE_MSG.Tag: "99" idle, "0" just shown, counting up.
    QString bannerCountdown = QStringLiteral("99");

    // Folders and settings.
    QString configFolder() const { return m_configFolder; } // AFF_CURDIR, ends with "/"
    void setConfigFolder(const QString &folder);
    QString templatesFolder() const { return m_templatesFolder; } // AFF_DIR_TEMPLATES
    void setTemplatesFolder(const QString &folder);
    QString prefix() const { return m_prefix; } // INP_PREFIX
    void setPrefix(const QString &prefix);
    QString suffix() const { return m_suffix; } // INP_SUFFIX
    void setSuffix(const QString &suffix);
    bool logging() const { return m_logging; } // SW_LOG ticked
    void setLogging(bool on);
    QString logCaption() const { return m_logCaption; } // SW_LOG's caption
    void setLogCaption(const QString &caption);
    // Why read mode cannot type (FR_READ_MODE's tooltip); empty when it can.
    QString typingProblem() const { return m_typingProblem; }
    void setTypingProblem(const QString &problem);

    // The target units, LST_IP, and the line the operator selected (-1: none).
    const QList<TargetUnit> &targets() const { return m_targets; }
    void setTargets(const QList<TargetUnit> &targets);
    void setTargetTicked(int row, bool ticked);
    // One line changed, inserted or removed: no copy of the whole list (it may hold
    // thousands of lines).
    void setTarget(int row, const TargetUnit &target);
    void insertTarget(int row, const TargetUnit &target);
    void removeTargets(int row, int count);
    int currentTarget() const { return m_currentTarget; }
    void setCurrentTarget(int row);

    // Read mode's last recognised user: AFF_LST_USER, AFF_LST_USER_DATE, AFF_LST_USER_TIME
    // and where it came from, AFF_IP_SERVER.
    struct LastUser
    {
        QString user, date, time, source;
        bool operator==(const LastUser &) const = default;
    };
    LastUser lastUser() const { return m_lastUser; }
    void setLastUser(const LastUser &last);

    // A unit's user list is being read: B_VIEW_TEMPLATES (source unit) or B_TCP_VIEW_USR_LST
    // (a target unit) is hidden meanwhile.
    enum class Listing { None, SourceUnit, TargetUnit };
    Listing listingUsers() const { return m_listingUsers; }
    void setListingUsers(Listing listing);

    // Source link (link/).
    // Read mode is laid out: FR_READ_MODE is shown (and not merely selected).
    bool readModeShown() const { return m_readModeShown; }
    void setReadModeShown(bool shown);
    // Why the prefix or suffix cannot be typed: INP_PREFIX's and INP_SUFFIX's tooltips;
    // empty when the notation is well formed.
    QString prefixProblem() const { return m_prefixProblem; }
    void setPrefixProblem(const QString &problem);
    QString suffixProblem() const { return m_suffixProblem; }
    void setSuffixProblem(const QString &problem);
    // -- Synchronization (sync/):
    // A new unit's synchronization, shown by PRG_SYNC_NEW_UNIT under the banner lines while
    // it runs: files done of maximum, and the text the bar shows ("3 of 500 files, ...").
    struct SyncProgress
    {
        bool shown = false;
        int value = 0;
        int maximum = 1;
        QString text;
        bool operator==(const SyncProgress &) const = default;
    };
    SyncProgress syncProgress() const { return m_syncProgress; }
    void setSyncProgress(const SyncProgress &progress);
    // -- Configuration and diagnostics (config/, diag/):
    // Start-up is over: the window has been shown once. Until then the mode switch lays out
    // read mode whatever is selected.
    bool started() const { return m_started; }
    void setStarted(bool started);
    // The mode the frames are laid out for: FR_MANAGE_USR in enroll mode, FR_READ_MODE in read
    // mode. It follows mode() only once start-up is over and the password let it.
    Mode laidOutMode() const { return m_laidOutMode; }
    void setLaidOutMode(Mode mode);
    // FR_TARGET shown (enroll mode's target units).
    bool targetFrameShown() const { return m_targetFrameShown; }
    void setTargetFrameShown(bool shown);

    // Form-level variables.
    QByteArray RX_SCORE;
    qint16 TRELVANE_LOAD = 0; // True (-1): frame dispatch; 0: bulk collection
    QByteArray RX_EMPREINTE;
    QString ID_IP;
    qint16 ID_LOAD_CFG = 0;
    QString LST_USER_NUMBER;
    QByteArray LST_RX_TEMPLATE;
    qint16 LST_RX_TEMPLATE_NUMBER = 0;

    // The addresses of the ticked targets that name a unit, first to last; skipped hears why
    // each other ticked line was left out (an address kept from an older configuration file).
    QStringList
    usableTickedAddresses(const std::function<void(const QString &problem)> &skipped = {}) const;

    // The station's caption: the window's title and the activity log's first header line.
    static constexpr const char *kCaption = " Trelvane Ombrix quick Enrollment  Version: 1.0N";

    // enroll/: the value the form-level flags hold for "true" (TRELVANE_LOAD: frame dispatch).
    static constexpr qint16 True = -1;

signals:
    void changed(StationState::Field field);
    // A check refused a command: the view puts the keyboard focus on the control that shows
    // this field (the operator corrects it there).
    void focusRequested(StationState::Field field);
    // A wait that serves no events follows: views draw what the state holds now.
    void showNow();
    // Bring the station's window forward and to normal size (SHOW_MAIN_WINDOW).
    void windowWanted();

private:
    template <typename T> void assign(T &member, const T &value, Field field)
    {
        if (member == value)
            return;
        member = value;
        emit changed(field);
    }

    LinkStatus m_sourceStatus = LinkStatus::Disconnected;
    QString m_sourceStatusDetail;
    QString m_tcpStatus = QStringLiteral("Disconnect");
    Link m_selectedLink = Link::None;
    QString m_serialPort = QStringLiteral("0"); // no port until one is typed
    QString m_tcpAddress = QStringLiteral("127.0.0.1");
    bool m_handshakePending = false;
    Mode m_mode = Mode::None;
    bool m_passwordPrompt = false;
    bool m_passwordResetOffered = false;
    QString m_passwordText;
    QString m_userText;
    bool m_backupArmed = false;
    QString m_quality = QStringLiteral("0");
    std::array<QString, 3> m_bannerLines;
    bool m_bannerShown = false;
    int m_bannerPicture = -1;
    bool m_busy = false;
    QString m_configFolder;
    QString m_templatesFolder;
    QString m_prefix;
    QString m_suffix;
    bool m_logging = false;
    QString m_logCaption;
    QString m_typingProblem;
    QList<TargetUnit> m_targets;
    int m_currentTarget = -1;
    LastUser m_lastUser;
    Listing m_listingUsers = Listing::None;
    // Source link (link/).
    bool m_readModeShown = false;
    QString m_prefixProblem;
    QString m_suffixProblem;
    // -- Synchronization (sync/):
    SyncProgress m_syncProgress;
    // -- Configuration and diagnostics (config/, diag/):
    bool m_started = false;
    Mode m_laidOutMode = Mode::None;
    bool m_targetFrameShown = false;
};
