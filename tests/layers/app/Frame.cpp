// Keeps: the shell includes the dialogs and Qt.
#include "ui/Dialog.h"
#include <QMainWindow>
