#include "config/ConfigFile.h"

#include "app/F_MAIN.h"

ConfigFile::ConfigFile(F_MAIN &w) : w(w) {}
