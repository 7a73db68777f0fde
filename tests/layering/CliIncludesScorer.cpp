// Must not compile: the command line sees the public headers only.
#include "service/Scorer.h"
