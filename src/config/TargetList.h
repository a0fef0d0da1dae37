#pragma once

#include <QObject>

class F_MAIN;

class TargetList : public QObject
{
    Q_OBJECT
public:
    explicit TargetList(F_MAIN &w);

private:
    F_MAIN &w;
};
