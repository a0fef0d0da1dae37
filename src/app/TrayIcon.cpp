#include "app/TrayIcon.h"

#include "app/F_MAIN.h"

TrayIcon::TrayIcon(F_MAIN &w) : w(w) {}
