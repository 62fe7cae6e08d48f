// The Windows GUI entry point; kept apart so that test programs can link the library
// without supplying an AppMain.
#include "approot/approot.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    return TARVOAPP::Start(instance, AppMain);
}
