// Breaks: a Qt header below the Qt platform layer; keeps: an include beside it.
#include "Shape.h"
#include <QString>
