// Keeps: the engine layers below it.
#include "model/Shape.h"
#include "platform/Folders.h"
