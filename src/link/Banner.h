#pragma once

#include <QObject>

class F_MAIN;

class Banner : public QObject
{
    Q_OBJECT
public:
    explicit Banner(F_MAIN &w);
    void AFF_MSG_Change(int Index);
    void TIM_HIDE_MSG_Timer();

private:
    F_MAIN &w;
};
