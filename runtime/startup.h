// runtime/startup.h — the runtime's part of program start-up: arguments, signals, locale,
// collector, module globals and the application object.
// Depends on: nothing. The program that links the runtime supplies zuInit and zuMain.
#pragma once

extern int argc;
extern char** argv;

// Sets every module global, registering the collected ones as roots (gc_root) in the
// order they must be queued. Defined by the program.
void zuInit();
// Creates the application object. Defined by the program.
int zuMain();

// Sets the character-type locale: "en_US.UTF-8", else "C.UTF-8", else the user's default.
void zu_set_locale();

// Start-up steps 4 to 10: store the arguments, install the signal handlers, set the
// locale, empty the collector's lists, zuInit, queue the roots, zuMain. Exceptions
// propagate to the host, which reports them.
int zu_std_main(int argc, char** argv);
