// Must not compile: a lower layer reaching for the bulk matcher's header.
#include "vantel/Match.h"
