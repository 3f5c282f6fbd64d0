#pragma once

/** Keeps Xlib's default error handler, which ends the process, away from protocol errors and
    counts them instead, as a host does for the windows of its plug-ins. */
namespace XErrorCounter
{
    void install();
    int errorsSeen();
}
