// The standalone program's entry: JUCE's standalone application as it is, with what a desktop
// program needs around it that JUCE 7's wrapper lacks on Linux:
// - no display at all: the program runs on a private virtual display (Xvfb), without a window
//   anyone sees, and says so; it stops that display when it ends;
// - the system's quit request (SIGTERM at logout or shutdown, SIGHUP, Ctrl-C) closes it the way
//   its close button does, so its state and settings are saved;
// - a stored window position is kept inside the screen with the window's final size;
// - it names the audio device it opened (or says there is none) in one line on stdout, instead
//   of the JACK library's own reports of a missing server.

#include "AudioDeviceReport.h"
#include "AudioLibraryProbing.h"

#include <juce_audio_plugin_client/juce_audio_plugin_client.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#if JUCE_LINUX || JUCE_BSD
 #include <dlfcn.h>
 #include <fcntl.h>
 #include <poll.h>
 #include <sys/prctl.h>
 #include <sys/wait.h>
 #include <unistd.h>
#endif

juce::JUCEApplicationBase* juce_CreateApplication();

namespace
{
   #if JUCE_LINUX || JUCE_BSD
    /** Whether JUCE will find an X display: DISPLAY, or ":0.0" when it is unset, as JUCE does. */
    bool isDisplayReachable()
    {
        auto* xlib = ::dlopen ("libX11.so.6", RTLD_LAZY | RTLD_LOCAL);

        if (xlib == nullptr)
            return false;

        using OpenDisplay = void* (*) (const char*);
        using CloseDisplay = int (*) (void*);
        auto openDisplay = reinterpret_cast<OpenDisplay> (::dlsym (xlib, "XOpenDisplay"));
        auto closeDisplay = reinterpret_cast<CloseDisplay> (::dlsym (xlib, "XCloseDisplay"));

        if (openDisplay == nullptr || closeDisplay == nullptr)
            return false;

        const auto* name = std::getenv ("DISPLAY");
        auto* display = openDisplay (name != nullptr && *name != 0 ? name : ":0.0");

        if (display == nullptr)
            return false;

        closeDisplay (display);
        return true;
    }

    /** A private Xvfb for as long as the program runs (and not a moment longer: it is told to
        end with the program even if the program is killed). */
    class PrivateDisplay final
    {
    public:
        ~PrivateDisplay()
        {
            if (pid > 0)
            {
                ::kill (pid, SIGTERM);
                ::waitpid (pid, nullptr, 0);
            }
        }

        /** Starts the server and points DISPLAY at it; false with a reason when it cannot. */
        bool start (std::string& reason)
        {
            int ready[2];

            if (::pipe2 (ready, O_CLOEXEC) != 0)
            {
                reason = "no pipe for the virtual display";
                return false;
            }

            pid = ::fork();

            if (pid == 0)
            {
                ::prctl (PR_SET_PDEATHSIG, SIGTERM);
                ::close (ready[0]);
                ::dup2 (ready[1], 3);
                ::fcntl (3, F_SETFD, 0); // Xvfb writes its display number there
                const auto quiet = ::open ("/dev/null", O_RDWR);
                ::dup2 (quiet, 0);
                ::dup2 (quiet, 1);
                ::dup2 (quiet, 2);
                ::execlp ("Xvfb", "Xvfb", "-displayfd", "3", "-screen", "0", "1280x800x24",
                          "-nolisten", "tcp", "-noreset", static_cast<char*> (nullptr));
                ::_exit (127);
            }

            ::close (ready[1]);

            if (pid < 0)
            {
                ::close (ready[0]);
                reason = "could not start a process for the virtual display";
                return false;
            }

            // Xvfb writes the display number it picked, then a newline, once it accepts clients.
            std::string number;
            pollfd descriptor { ready[0], POLLIN, 0 };

            while (number.find ('\n') == std::string::npos && ::poll (&descriptor, 1, 15000) > 0)
            {
                char buffer[16];
                const auto got = ::read (ready[0], buffer, sizeof (buffer));

                if (got <= 0)
                    break;

                number.append (buffer, (size_t) got);
            }

            ::close (ready[0]);

            if (number.empty() || number.find ('\n') == std::string::npos)
            {
                reason = "no virtual display could be started (is Xvfb installed?)";
                return false;
            }

            number.erase (number.find ('\n'));
            ::setenv ("DISPLAY", (":" + number).c_str(), 1);
            return true;
        }

    private:
        pid_t pid = -1;
    };

    //==============================================================================
    // Quit requests arrive as signals; the handler only wakes the message thread through a pipe.
    int quitPipe[2] { -1, -1 };

    void onQuitSignal (int)
    {
        const auto savedErrno = errno;
        const char byte = 'q';
        [[maybe_unused]] const auto written = ::write (quitPipe[1], &byte, 1);
        errno = savedErrno;
    }

    void quitLikeTheCloseButtonOnSignals()
    {
        if (::pipe2 (quitPipe, O_CLOEXEC | O_NONBLOCK) != 0)
            return;

        juce::LinuxEventLoop::registerFdCallback (quitPipe[0], [] (int fd)
        {
            char bytes[16];

            while (::read (fd, bytes, sizeof (bytes)) > 0)
            {
            }

            // The application's own answer to the system's quit request: save the state, close.
            if (auto* app = juce::JUCEApplicationBase::getInstance())
                app->systemRequestedQuit();
        });

        struct sigaction action {};
        action.sa_handler = onQuitSignal;
        sigemptyset (&action.sa_mask);
        action.sa_flags = SA_RESTART;

        // SIGINT too: JUCE's own handler for it quits without saving the state.
        for (auto signalNumber : { SIGTERM, SIGHUP, SIGINT })
            ::sigaction (signalNumber, &action, nullptr);
    }
   #endif

    //==============================================================================
    /** JUCE places the window from its stored position before the window takes its resizable
        border, which makes it a few pixels larger: once it has its final size, pull it back
        inside the display it is on. */
    void keepWindowsOnScreen()
    {
        const auto& displays = juce::Desktop::getInstance().getDisplays();

        for (int i = 0; i < juce::TopLevelWindow::getNumTopLevelWindows(); ++i)
        {
            auto* window = juce::TopLevelWindow::getTopLevelWindow (i);

            if (window == nullptr || ! window->isOnDesktop())
                continue;

            const auto bounds = window->getBounds();
            const auto* display = displays.getDisplayForRect (bounds);

            if (display == nullptr)
                continue;

            const auto area = display->userArea;
            window->setTopLeftPosition (juce::jlimit (area.getX(), juce::jmax (area.getX(), area.getRight() - bounds.getWidth()), bounds.getX()),
                                        juce::jlimit (area.getY(), juce::jmax (area.getY(), area.getBottom() - bounds.getHeight()), bounds.getY()));
        }
    }

    juce::JUCEApplicationBase* createApplication()
    {
        // The message manager exists by now; the window is made right after this returns, and
        // the message loop starts after that.
        auto* application = juce_CreateApplication();

       #if JUCE_LINUX || JUCE_BSD
        quitLikeTheCloseButtonOnSignals();
       #endif

        juce::MessageManager::callAsync (keepWindowsOnScreen);
        juce::MessageManager::callAsync (AudioDeviceReport::printForRunningProgram);
        return application;
    }
}

int main (int argc, char* argv[])
{
   #if JUCE_LINUX || JUCE_BSD
    PrivateDisplay privateDisplay;

    if (! isDisplayReachable())
    {
        std::string reason;

        if (! privateDisplay.start (reason))
        {
            std::fprintf (stderr, "Tessaline cannot start: no X display reachable, and %s.\n", reason.c_str());
            return 1;
        }

        std::fprintf (stderr, "No X display reachable: running Tessaline without a window (Ctrl-C quits).\n");
    }
   #endif

    AudioLibraryProbing::silence();
    juce::JUCEApplicationBase::createInstance = &createApplication;
    return juce::JUCEApplicationBase::main (argc, const_cast<const char**> (argv));
}
