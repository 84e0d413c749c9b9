// game/globals.cpp — the program's module globals (zuInit) and its application (zuMain).
// Depends on: runtime, app. The game's own globals and its application object join here
// when the game arrives; until then the program starts up, finds no application to run,
// and ends.
#include "app/app.h"
#include "runtime/startup.h"

void zuInit() { zu_app_InitGlobals(); }

int zuMain() { return 0; }
