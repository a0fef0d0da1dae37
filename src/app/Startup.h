#pragma once

#include <QObject>
#include <QString>

#include <memory>

class F_MAIN;
class SingleInstance;

// The life of the main window: start-up, minimising into the tray, the close question, and
// the two small procedures that bring the window back and open the UDP receive port.
class Startup : public QObject
{
    Q_OBJECT
public:
    static constexpr int kWindowHeightTwips = 7050;

    explicit Startup(F_MAIN &w);
    ~Startup() override;

    // Runs once when the window is created. False: another copy of the station already runs
    // on this folder, and this one must end now.
    bool Form_Load();
    void Form_Resize();
    // False cancels the close.
    bool Form_Unload();
    void SHOW_MAIN_WINDOW();
    // Binds UDP_RX to the station's UDP port; reports a failure in a box. True when bound.
    bool OPEN_UDP_PORT();

    // The program's folder with the platform's separator at its end.
    static QString configurationFolderFor(const QString &programFolder);

private:
    bool isAnotherInstanceRunning(const QString &folder);
    void placeOverlays();
    void setStartHeight();
    void startTimers();

    F_MAIN &w;
    std::unique_ptr<SingleInstance> m_instance;
};
