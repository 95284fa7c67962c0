// Keeps: the shell includes the dialogs, the Qt platform layer and Qt.
#include "qtplatform/Button.h"
#include "ui/Dialog.h"
#include <QMainWindow>
