#include "enroll/TemplateStore.h"

#include "app/F_MAIN.h"

TemplateStore::TemplateStore(F_MAIN &w) : w(w) {}
