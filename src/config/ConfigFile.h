#pragma once

#include <QObject>

class F_MAIN;

class ConfigFile : public QObject
{
    Q_OBJECT
public:
    explicit ConfigFile(F_MAIN &w);

private:
    F_MAIN &w;
};
