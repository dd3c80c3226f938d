// sino_rings run as users run it.
#include <gtest/gtest.h>

#include "cli/run.h"
