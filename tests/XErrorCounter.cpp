#include "XErrorCounter.h"

#include <X11/Xlib.h>

namespace
{
    int errors = 0;

    int countError (Display*, XErrorEvent*)
    {
        ++errors;
        return 0;
    }
}

void XErrorCounter::install()   { XSetErrorHandler (countError); }
int XErrorCounter::errorsSeen()  { return errors; }
