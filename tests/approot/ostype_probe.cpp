// Reports the OS type of the system it runs on as its exit code, so that a test can run it
// under different Windows versions of the same Wine prefix.
#include "osys/ostype.h"

int main()
{
    return OSYS::GetOSType();
}
