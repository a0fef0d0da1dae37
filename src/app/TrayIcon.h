#pragma once

#include <QObject>

class F_MAIN;

class TrayIcon : public QObject
{
    Q_OBJECT
public:
    explicit TrayIcon(F_MAIN &w);

private:
    F_MAIN &w;
};
