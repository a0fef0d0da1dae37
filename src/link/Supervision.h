#pragma once

#include <QObject>

class F_MAIN;

class Supervision : public QObject
{
    Q_OBJECT
public:
    explicit Supervision(F_MAIN &w);
    void TIM_SERIAL_CONNECT_Timer();

private:
    F_MAIN &w;
};
