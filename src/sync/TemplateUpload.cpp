#include "sync/TemplateUpload.h"

#include "app/F_MAIN.h"

TemplateUpload::TemplateUpload(F_MAIN &w) : w(w) {}
