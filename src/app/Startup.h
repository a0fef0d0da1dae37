#pragma once

#include <QObject>

class F_MAIN;

class Startup : public QObject
{
    Q_OBJECT
public:
    explicit Startup(F_MAIN &w);
    bool Form_Load();
    void Form_Resize();
    bool Form_Unload();
    void SHOW_MAIN_WINDOW();

private:
    F_MAIN &w;
};
