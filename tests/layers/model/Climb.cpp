// Breaks: a path that climbs out of its folder into a higher layer.
#include "../ui/Dialog.h"
