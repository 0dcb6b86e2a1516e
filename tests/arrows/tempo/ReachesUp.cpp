// A tempo file that reaches up into the window program: the arrow check must refuse it.
#include "shell/Shell.h"
