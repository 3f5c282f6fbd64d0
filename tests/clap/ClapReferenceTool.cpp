// Compares two builds of the plug-in (Linux and Windows) by what they do, not by their code:
//   ClapReferenceTool write <plug-in> <folder> <name>     describes the plug-in as a host sees
//                                                         it, renders the reference work and
//                                                         saves the known state, as
//                                                         <name>.description, .render, .state
//   ClapReferenceTool compare <plug-in> <folder> <name>   renders again and compares with what
//                                                         <name> wrote; loads <name>'s state
// Exits 0 when the description is the same, the audio is within the tolerance and the state loads to the known values.

#include "tests/clap/ClapReferenceRender.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

namespace
{
    constexpr double tolerance = 1e-6;

    int write (const ClapTestLibrary& library, const std::string& stem)
    {
        const auto audio = ClapReferenceRender::render (library);
        const auto state = ClapReferenceRender::saveKnownState (library);

        if (audio.empty() || state.empty())
        {
            std::printf ("the plug-in rendered or saved nothing\n");
            return 1;
        }

        const auto description = ClapReferenceRender::describe (library);

        if (! ClapReferenceRender::writeFile (stem + ".render", audio.data(), audio.size() * sizeof (float))
            || ! ClapReferenceRender::writeFile (stem + ".description", description.data(), description.size())
            || ! ClapReferenceRender::writeFile (stem + ".state", state.data(), state.size()))
        {
            std::printf ("cannot write %s.*\n", stem.c_str());
            return 1;
        }

        std::printf ("wrote %zu samples and a state of %zu bytes\n", audio.size(), state.size());
        return 0;
    }

    int compare (const ClapTestLibrary& library, const std::string& stem)
    {
        const auto otherDescription = ClapReferenceRender::readFile (stem + ".description");
        const auto description = ClapReferenceRender::describe (library);
        const bool sameDescription = ! description.empty()
                                     && std::string (otherDescription.begin(), otherDescription.end()) == description;
        std::printf ("what a host sees %s %s's:\n%s", sameDescription ? "is the same as" : "DIFFERS from", stem.c_str(), description.c_str());

        const auto bytes = ClapReferenceRender::readFile (stem + ".render");
        std::vector<float> other (bytes.size() / sizeof (float));
        std::memcpy (other.data(), bytes.data(), other.size() * sizeof (float));

        const auto difference = ClapReferenceRender::largestDifference (ClapReferenceRender::render (library), other);
        std::printf ("largest difference from %s: %g over %zu samples\n", stem.c_str(), difference, other.size());

        const auto loaded = ClapReferenceRender::valuesAfterLoading (library, ClapReferenceRender::readFile (stem + ".state"));
        const auto known = ClapReferenceRender::knownValues (library);
        const bool stateMatches = ! known.empty() && loaded == known;
        std::printf ("%s's state %s\n", stem.c_str(), stateMatches ? "loads to the known values" : "does NOT load to the known values");

        for (size_t i = 0; ! stateMatches && i < known.size(); ++i)
            std::printf ("  parameter %zu: known %.17g, loaded %.17g\n", i, known[i], i < loaded.size() ? loaded[i] : std::nan (""));

        return sameDescription && ! other.empty() && difference <= tolerance && stateMatches ? 0 : 1;
    }
}

int main (int argc, char** argv)
{
    if (argc != 5 || (std::strcmp (argv[1], "write") != 0 && std::strcmp (argv[1], "compare") != 0))
    {
        std::printf ("usage: %s write|compare <plug-in> <folder> <name>\n", argv[0]);
        return 2;
    }

    ClapTestLibrary library { argv[2] };

    if (! library.isLoaded())
    {
        std::printf ("cannot load %s: %s\n", argv[2], library.getError().c_str());
        return 1;
    }

    const auto stem = std::string (argv[3]) + "/" + argv[4];
    return std::strcmp (argv[1], "write") == 0 ? write (library, stem) : compare (library, stem);
}
