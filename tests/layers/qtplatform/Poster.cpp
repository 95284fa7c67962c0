// Breaks: the Qt platform layer takes a header of the application shell.
#include "app/MainFrame.h"
