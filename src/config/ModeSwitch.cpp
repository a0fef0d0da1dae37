#include "config/ModeSwitch.h"

#include "app/F_MAIN.h"

ModeSwitch::ModeSwitch(F_MAIN &w) : w(w) {}
