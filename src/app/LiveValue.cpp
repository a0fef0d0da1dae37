#include "app/LiveValue.h"

#include <QLabel>
#include <QString>

void showValueToAssistiveTechnology(QLabel *label, const QString &role)
{
    label->setAccessibleName(QString());
    label->setAccessibleDescription(role);
}
