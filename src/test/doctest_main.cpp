#define DOCTEST_CONFIG_IMPLEMENT_WITH_MAIN
#include "test/doctest_main.h"
