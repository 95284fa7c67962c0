#include "langeditor/MervashApp.h"

int main(int argc, char** argv)
{
    CMervashApp app(argc, argv);
    return app.Run();
}
