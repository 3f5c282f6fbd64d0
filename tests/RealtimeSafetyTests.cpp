#include "tests/ProcessorTestTools.h"
#include "tests/SignalTools.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <dlfcn.h>
#include <new>
#include <pthread.h>

// Every allocation and every mutex lock of the process is counted while `watching` is set.
namespace
{
    std::atomic<bool> watching { false };
    std::atomic<int> allocations { 0 };
    std::atomic<int> locks { 0 };

    void* countedAllocation (std::size_t size)
    {
        if (watching.load())
            ++allocations;

        if (auto* memory = std::malloc (size == 0 ? 1 : size))
            return memory;

        throw std::bad_alloc();
    }

    using MutexLockFunction = int (*) (pthread_mutex_t*);

    MutexLockFunction realMutexLock()
    {
        static const auto function = reinterpret_cast<MutexLockFunction> (dlsym (RTLD_NEXT, "pthread_mutex_lock"));
        return function;
    }

    const auto resolvedAtStartup = realMutexLock();
}

void* operator new (std::size_t size)                             { return countedAllocation (size); }
void* operator new[] (std::size_t size)                           { return countedAllocation (size); }
void* operator new (std::size_t size, const std::nothrow_t&) noexcept
{
    try { return countedAllocation (size); } catch (...) { return nullptr; }
}
void* operator new[] (std::size_t size, const std::nothrow_t&) noexcept
{
    try { return countedAllocation (size); } catch (...) { return nullptr; }
}
void operator delete (void* memory) noexcept                      { std::free (memory); }
void operator delete[] (void* memory) noexcept                    { std::free (memory); }
void operator delete (void* memory, std::size_t) noexcept         { std::free (memory); }
void operator delete[] (void* memory, std::size_t) noexcept       { std::free (memory); }

extern "C" int pthread_mutex_lock (pthread_mutex_t* mutex)
{
    if (watching.load())
        ++locks;

    return (resolvedAtStartup != nullptr ? resolvedAtStartup : realMutexLock()) (mutex);
}

namespace
{
    struct Watch
    {
        Watch()  { allocations = 0; locks = 0; watching = true; }
        ~Watch() { watching = false; }
    };

    struct RealtimeCase
    {
        const char* name;
        float cutoff, resonance, oversampling, mode;
        int channels, blockSize, hostBlockSize;
    };
}

TEST (RealtimeSafety, ProcessBlockNeitherAllocatesNorLocksAfterPrepare)
{
    const RealtimeCase cases[] = {
        { "stereo 2x, prepared block",          1000.0f, 0.5f,  1.0f, 0.0f, 2, 512, 512 },
        { "stereo off, prepared block",         1000.0f, 0.5f,  0.0f, 0.0f, 2, 512, 512 },
        { "mono 2x, shorter blocks",            1000.0f, 0.5f,  1.0f, 1.0f, 1, 512, 37 },
        { "ring active",                        50.0f,   0.75f, 0.0f, 0.0f, 2, 256, 256 },
        { "band-pass 2x, single samples",       300.0f,  0.3f,  1.0f, 2.0f, 2, 128, 1 },
    };

    for (const auto& c : cases)
    {
        TessalineAudioProcessor processor;
        ProcessorTestTools::setRaw (processor, "cutoff", c.cutoff);
        ProcessorTestTools::setRaw (processor, "resonance", c.resonance);
        ProcessorTestTools::setRaw (processor, "oversampling", c.oversampling);
        ProcessorTestTools::setRaw (processor, "mode", c.mode);
        ProcessorTestTools::prepare (processor, 48000.0, c.blockSize, c.channels);

        auto buffer = ProcessorTestTools::bufferFrom (SignalTools::sine (220.0, 48000.0, 4096, 0.9f), c.channels);
        juce::MidiBuffer midi;

        {
            Watch watch;
            for (int start = 0; start + c.hostBlockSize <= buffer.getNumSamples(); start += c.hostBlockSize)
            {
                juce::AudioBuffer<float> view (buffer.getArrayOfWritePointers(), c.channels, start, c.hostBlockSize);
                processor.processBlock (view, midi);
            }
        }

        EXPECT_EQ (allocations.load(), 0) << c.name;
        EXPECT_EQ (locks.load(), 0) << c.name;
    }
}

TEST (RealtimeSafety, SwitchingOversamplingOnTheAudioThreadNeitherAllocatesNorLocks)
{
    TessalineAudioProcessor processor;
    ProcessorTestTools::prepare (processor, 44100.0, 256);
    juce::AudioBuffer<float> buffer (2, 256);
    buffer.clear();
    juce::MidiBuffer midi;

    for (const float oversampling : { 0.0f, 1.0f, 0.0f })
    {
        ProcessorTestTools::setRaw (processor, "oversampling", oversampling);
        Watch watch;
        processor.processBlock (buffer, midi);
        watching = false;
        EXPECT_EQ (allocations.load(), 0);
        EXPECT_EQ (locks.load(), 0);
    }
}

TEST (RealtimeSafety, TheCountersSeeAllocationsAndLocks)
{
    // Guards the test itself: if the replacements were not in effect the checks above would
    // pass vacuously.
    std::mutex mutex;
    {
        Watch watch;
        auto* leakCheck = new int (3);
        delete leakCheck;
        std::lock_guard<std::mutex> guard (mutex);
    }
    EXPECT_GE (allocations.load(), 1);
    EXPECT_GE (locks.load(), 1);
}
