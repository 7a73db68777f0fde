// Compiles: the transcriber is what phonetics offers the service.
#include "phonetics/Transcriber.h"
