// game/globals.cpp — the program's module globals (zuInit) and its application (zuMain).
// Depends on: runtime. The framework's globals and the game's application object join here
// as those layers arrive; until then the program starts up, finds no application to run,
// and ends.
#include "runtime/startup.h"

void zuInit() {}

int zuMain() { return 0; }
