#include "enroll/Enrollment.h"

#include "app/F_MAIN.h"

Enrollment::Enrollment(F_MAIN &w) : w(w) {}
