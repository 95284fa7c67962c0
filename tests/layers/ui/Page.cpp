// Keeps: a dialog builds on the Qt platform layer and its own folder.
#include "Dialog.h"
#include "qtplatform/Button.h"
