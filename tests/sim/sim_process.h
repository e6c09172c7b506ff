#pragma once

// The simulator as a child process is shared with the end-to-end tests; it lives with the fakes.
#include "fakes/sim_process.h"
