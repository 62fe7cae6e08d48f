#include "text/savefile.h"

#include <io.h>

#include "osys/osys_win32.h"
#include "osys/osysfile.h"

SAVEFILE::SAVEFILE(const char* path, const char* mode) : file(FILENAME::fsopen(path, mode)) {}

void SAVEFILE::Write(const void* bytes, size_t n)
{
    if (!file || failure.Length() > 0 || n == 0)
        return;
    size_t put = fwrite(bytes, 1, n, file.get());
    written += put;
    if (put < n)
        Fail("write");
}

bool SAVEFILE::Close(bool commit)
{
    if (!file)
        return false;
    if (fflush(file.get()) != 0)
        Fail("flush");
    else if (commit && _commit(_fileno(file.get())) != 0)
        Fail("commit");
    if (fclose(file.release()) != 0)
        Fail("close");
    return failure.Length() == 0;
}

void SAVEFILE::Fail(const char* step)
{
    if (failure.Length() > 0)
        return; // the first failure is the cause; later steps only follow from it
    failure.Format("%s: %s", step, OSYS::GetErrorText().c_str());
}
