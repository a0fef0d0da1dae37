#pragma once

#include <QObject>

class F_MAIN;

class UserDeletion : public QObject
{
    Q_OBJECT
public:
    explicit UserDeletion(F_MAIN &w);

private:
    F_MAIN &w;
};
