// Must not compile: the pattern engine is private to phonetics.
#include "phonetics/ContextAutomaton.h"
