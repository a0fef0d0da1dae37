#pragma once

#include <QObject>

class F_MAIN;

class ModeSwitch : public QObject
{
    Q_OBJECT
public:
    explicit ModeSwitch(F_MAIN &w);

private:
    F_MAIN &w;
};
