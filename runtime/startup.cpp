// runtime/startup.cpp — zu_std_main and the locale step.
// Depends on: startup.h, errors.h, gc.h.
#include "startup.h"

#include <clocale>

#include "errors.h"
#include "gc.h"

int argc;
char** argv;

void zu_set_locale() {
  if (std::setlocale(LC_CTYPE, "en_US.UTF-8")) return;
  if (std::setlocale(LC_CTYPE, "C.UTF-8")) return;
  std::setlocale(LC_CTYPE, "");
}

int zu_std_main(int argc_, char** argv_) {
  argc = argc_;
  argv = argv_;
  zu_install_signal_handlers();
  zu_set_locale();
  gc_init1();
  zuInit();
  gc_init2();
  zuMain();
  return 0;
}
