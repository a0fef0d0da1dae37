#include "app/Startup.h"

#include "app/F_MAIN.h"

Startup::Startup(F_MAIN &w) : w(w) {}

bool Startup::Form_Load()
{
    return true;
}

void Startup::Form_Resize() {}

bool Startup::Form_Unload()
{
    return true;
}

void Startup::SHOW_MAIN_WINDOW() {}
