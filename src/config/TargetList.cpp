#include "config/TargetList.h"

#include "app/F_MAIN.h"

TargetList::TargetList(F_MAIN &w) : w(w) {}
