#pragma once

#include <QObject>

class F_MAIN;

class TemplateBackup : public QObject
{
    Q_OBJECT
public:
    explicit TemplateBackup(F_MAIN &w);
    // Arms the backup trigger: the user number turns black, TIM_BACKUP fires once in 200 ms.
    void armTrigger();
    void TIM_BACKUP_Timer();

private:
    F_MAIN &w;
};
