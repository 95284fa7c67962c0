// The view's settings commands: the grid dialog (32914), the curve settings
// (32865) and the language chooser (32864) with the restart it offers.
#pragma once

class COrvelView;

void AddViewSettingsCommands(COrvelView& view);
