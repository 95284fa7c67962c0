// Breaks: the Qt platform layer takes a dialog above it; keeps: Qt and the
// engine below it.
#pragma once
#include "platform/Win.h"
#include "ui/Dialog.h"
#include <QPushButton>
