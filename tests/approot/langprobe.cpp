// Loads the language library of the folder given as its arguments (a file path whose directory
// is the base, and the subfolder) without the silent flag: 0 when it loaded.
#include "approot/approot.h"

int main(int argc, char** argv)
{
    if (argc < 3)
        return 2;
    return TARVOAPP::LoadLanguageModule(argv[1], argv[2], nullptr, nullptr, 0) ? 0 : 1;
}
