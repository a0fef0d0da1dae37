#include "enroll/TemplateBackup.h"

#include "app/F_MAIN.h"

TemplateBackup::TemplateBackup(F_MAIN &w) : w(w) {}

void TemplateBackup::armTrigger() {}

void TemplateBackup::TIM_BACKUP_Timer() {}
