// tests/net/test_server.cpp — the server is all in test_server.h.
#include "test_server.h"
