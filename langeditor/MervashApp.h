// Mervash's application object: runs the main dialog modally; the program
// ends when it closes.
#pragma once
#include <QApplication>

class CMervashApp : public QApplication {
public:
    CMervashApp(int& argc, char** argv);
    int Run();
};
