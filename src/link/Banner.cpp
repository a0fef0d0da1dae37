#include "link/Banner.h"

#include "app/F_MAIN.h"

Banner::Banner(F_MAIN &w) : w(w) {}

void Banner::AFF_MSG_Change(int /*Index*/) {}

void Banner::TIM_HIDE_MSG_Timer() {}
