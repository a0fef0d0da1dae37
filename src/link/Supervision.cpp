#include "link/Supervision.h"

#include "app/F_MAIN.h"

Supervision::Supervision(F_MAIN &w) : w(w) {}

void Supervision::TIM_SERIAL_CONNECT_Timer() {}
