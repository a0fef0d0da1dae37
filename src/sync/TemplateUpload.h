#pragma once

#include <QObject>

class F_MAIN;

class TemplateUpload : public QObject
{
    Q_OBJECT
public:
    explicit TemplateUpload(F_MAIN &w);

private:
    F_MAIN &w;
};
