#pragma once

#include <QObject>

class F_MAIN;

class TemplateStore : public QObject
{
    Q_OBJECT
public:
    explicit TemplateStore(F_MAIN &w);

private:
    F_MAIN &w;
};
