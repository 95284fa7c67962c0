// Breaks: a dialog takes a header of the application shell above it.
#pragma once
#include "app/MainFrame.h"
