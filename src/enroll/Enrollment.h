#pragma once

#include <QObject>

class F_MAIN;

class Enrollment : public QObject
{
    Q_OBJECT
public:
    explicit Enrollment(F_MAIN &w);

private:
    F_MAIN &w;
};
