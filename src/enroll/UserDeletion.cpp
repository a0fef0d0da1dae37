#include "enroll/UserDeletion.h"

#include "app/F_MAIN.h"

UserDeletion::UserDeletion(F_MAIN &w) : w(w) {}
