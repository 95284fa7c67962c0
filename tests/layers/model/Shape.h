// Keeps: a header of its own folder and one of a lower layer.
#pragma once
#include "settings/SoftwareSettings.h"
