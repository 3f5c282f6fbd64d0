#pragma once

#include "tests/clap/ClapTestHost.h"

#include <cstdint>
#include <string>
#include <vector>

/** One fixed piece of work through a built plug-in, the same on every platform, so that two
    builds of it can be compared sample by sample: a table of settings (every mode and slope,
    both paths, cutoff glides), each rendered from a fresh instance over the same stereo signal
    in host blocks, and a state saved at known values. */
class ClapReferenceRender final
{
public:
    /** Every setting's stereo output, one after the other, channels interleaved. */
    static std::vector<float> render (const ClapTestLibrary&);

    /** What a host sees of the plug-in, one fact a line: the descriptor, the audio ports, each
        parameter's id, name, range, default and flags. */
    static std::string describe (const ClapTestLibrary&);

    /** The state blob of an instance set to knownValues(). */
    static std::vector<uint8_t> saveKnownState (const ClapTestLibrary&);

    /** The normalised values, in parameter order, after loading the state into a fresh instance;
        empty when the plug-in refused the state. */
    static std::vector<double> valuesAfterLoading (const ClapTestLibrary&, const std::vector<uint8_t>& state);

    /** What saveKnownState sets, normalised, in parameter order, as the parameters hold them. */
    static std::vector<double> knownValues (const ClapTestLibrary&);

    /** The largest difference between two renders, or infinity when their lengths differ. */
    static double largestDifference (const std::vector<float>&, const std::vector<float>&);

    static bool writeFile (const std::string& path, const void* data, size_t size);
    static std::vector<uint8_t> readFile (const std::string& path);

private:
    ClapReferenceRender() = delete;
};
