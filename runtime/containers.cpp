// runtime/containers.cpp — static members of the string stacks.
// Depends on: containers.h.
#include "containers.h"

String c_Stack2::m_NIL;
