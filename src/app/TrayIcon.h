#pragma once

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>

#include <optional>

class F_MAIN;

// The station's notification-area icon: the way back to the window while it is hidden. A
// left click or a double click restores the window. A right click opens its menu: "Show",
// the two modes (through the window's own mode switch, so the enroll password is asked as
// there) and "Quit" (through the window's close question).
class TrayIcon : public QObject
{
    Q_OBJECT
public:
    // Mouse messages as the icon reports them (the platform's numbering).
    static constexpr qint32 kLeftButtonDown = 513;
    static constexpr qint32 kLeftButtonDoubleClick = 515;
    static constexpr qint32 kRightButtonUp = 517;
    static constexpr qint32 kMiddleButtonDown = 519;
    static constexpr int kTipLength = 64;

    explicit TrayIcon(F_MAIN &w);

    // Fills TRAY_ICON_DATA (once: the tip is written only while it is still blank).
    void fillData();
    bool isDataFilled() const;
    // Shows the icon, or shows it again when the desktop has lost it. Does nothing before
    // the data is filled or after the icon has been removed.
    void add();
    void remove();
    bool isShown() const { return m_icon.isVisible(); }

    // Brings the window back from the tray.
    void TRAY_CLICK();
    // Decodes a mouse message delivered as X = message * twips per pixel.
    void pichook_MouseMove(int Button, int Shift, double X, double Y);
    static qint32 mouseMessageFor(QSystemTrayIcon::ActivationReason reason);
    static double twipsPerPixelX();

    // Whether the desktop has a notification area. Without one the window is never hidden,
    // since nothing could bring it back.
    bool trayAvailable() const;
    // Lets a test decide the answer instead of the desktop.
    void setTrayAvailableOverride(std::optional<bool> available)
    {
        m_availableOverride = available;
    }

    // Drops or restores the window's task-bar entry (where the desktop supports it). With a
    // tray the icon is the way back; without one the entry stays.
    void hideTaskbarEntry();

    QSystemTrayIcon &icon() { return m_icon; }
    QMenu &menu() { return m_menu; }
    QAction *showAction() const { return m_show; }
    QAction *enrollModeAction() const { return m_enrollMode; }
    QAction *readModeAction() const { return m_readMode; }
    QAction *quitAction() const { return m_quit; }
    // Marks the mode the station is in and disables what cannot run now (see the .cpp).
    void updateMenu();

private:
    void buildMenu();
    void chooseEnrollMode();
    void chooseReadMode();
    void quit();
    void onActivated(QSystemTrayIcon::ActivationReason reason);
    QIcon windowIconOrFallback() const;

    F_MAIN &w;
    QSystemTrayIcon m_icon;
    QMenu m_menu;
    QActionGroup m_modes{this};
    QAction *m_show = nullptr;
    QAction *m_enrollMode = nullptr;
    QAction *m_readMode = nullptr;
    QAction *m_quit = nullptr;
    bool m_removed = false;
    std::optional<bool> m_availableOverride;
};
