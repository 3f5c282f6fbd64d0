#include "tests/ProcessorTestTools.h"
#include "tests/SignalTools.h"
#include "tests/clap/ClapTestEventList.h"
#include "tests/clap/ClapTestHost.h"
#include "tests/clap/ClapTestLibrary.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <dlfcn.h>
#include <new>
#include <pthread.h>
#include <vector>

// Every allocation and every mutex lock of the process is counted while `watching` is set.
// malloc and friends are replaced too: JUCE's HeapBlock and AudioBuffer allocate through them.
extern "C"
{
    void* __libc_malloc (std::size_t);
    void* __libc_calloc (std::size_t, std::size_t);
    void* __libc_realloc (void*, std::size_t);
    void* __libc_memalign (std::size_t, std::size_t);
    void __libc_free (void*);
}

namespace
{
    std::atomic<bool> watching { false };
    std::atomic<int> allocations { 0 };
    std::atomic<int> locks { 0 };

    void countAllocation() noexcept
    {
        if (watching.load())
            ++allocations;
    }

    void* allocateOrThrow (std::size_t size)
    {
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

extern "C" void* malloc (std::size_t size)                        { countAllocation(); return __libc_malloc (size); }
extern "C" void* calloc (std::size_t count, std::size_t size)     { countAllocation(); return __libc_calloc (count, size); }
extern "C" void* realloc (void* memory, std::size_t size)         { countAllocation(); return __libc_realloc (memory, size); }
extern "C" void free (void* memory)                               { __libc_free (memory); }

extern "C" int posix_memalign (void** result, std::size_t alignment, std::size_t size)
{
    countAllocation();
    *result = __libc_memalign (alignment, size);
    return *result != nullptr ? 0 : ENOMEM;
}

void* operator new (std::size_t size)                             { return allocateOrThrow (size); }
void* operator new[] (std::size_t size)                           { return allocateOrThrow (size); }
void* operator new (std::size_t size, const std::nothrow_t&) noexcept
{
    try { return allocateOrThrow (size); } catch (...) { return nullptr; }
}
void* operator new[] (std::size_t size, const std::nothrow_t&) noexcept
{
    try { return allocateOrThrow (size); } catch (...) { return nullptr; }
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
        { "2x, host blocks longer than prepared", 1000.0f, 0.5f, 1.0f, 0.0f, 2, 64, 1024 },
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

    {
        Watch watch;
        juce::HeapBlock<float> heapBlock (16);   // JUCE allocates through malloc, not new
    }
    EXPECT_GE (allocations.load(), 1);
}

TEST (RealtimeSafety, ClapProcessWithParameterEventsDoesNotAllocate)
{
    ClapTestLibrary library { TESSALINE_CLAP_PATH };
    ASSERT_TRUE (library.isLoaded()) << library.getError();
    ClapTestHost host { library };
    ASSERT_TRUE (host.createPlugin());
    auto* plugin = host.plugin();
    const auto& params = *host.extension<clap_plugin_params_t> (CLAP_EXT_PARAMS);

    constexpr uint32_t blockSize = 256;
    constexpr int numBlocks = 24;

    {
        // Guards the test: the plug-in's own allocations (here while it prepares) are seen.
        Watch watch;
        ASSERT_TRUE (plugin->activate (plugin, 48000.0, 1, blockSize));
    }
    EXPECT_GE (allocations.load(), 1);

    // Every block moves every parameter inside host gestures, at several points of the block.
    std::vector<ClapTestEventList> events ((size_t) numBlocks);

    for (int block = 0; block < numBlocks; ++block)
    {
        for (uint32_t index = 0; index < params.count (plugin); ++index)
        {
            clap_param_info_t info {};
            params.get_info (plugin, index, &info);
            auto& list = events[(size_t) block];
            list.addGesture (CLAP_EVENT_PARAM_GESTURE_BEGIN, info.id);

            for (uint32_t time : { 0u, 64u, 200u })
                list.addValue (info.id, (double) ((block * 7 + (int) index * 3 + (int) time) % 10) / 9.0, time);

            list.addGesture (CLAP_EVENT_PARAM_GESTURE_END, info.id);
        }
    }

    auto input = SignalTools::sine (220.0, 48000.0, blockSize, 0.9f);
    std::vector<float> left (input.begin(), input.end()), right (left), outLeft (blockSize), outRight (blockSize);
    float* inChannels[] = { left.data(), right.data() };
    float* outChannels[] = { outLeft.data(), outRight.data() };
    clap_audio_buffer_t in { inChannels, nullptr, 2, 0, 0 };
    clap_audio_buffer_t out { outChannels, nullptr, 2, 0, 0 };

    const auto processBlock = [&] (int block)
    {
        auto context = ClapTestHost::processContext (in, out, blockSize, events[(size_t) block].input(),
                                                     events[(size_t) block].output(), block * (int64_t) blockSize);
        return plugin->process (plugin, &context);
    };

    int allocationsWhileProcessing = -1, locksWhileProcessing = -1;

    host.runOnAudioThread ([&]
    {
        plugin->start_processing (plugin);
        processBlock (0); // warm-up

        {
            Watch watch;

            for (int block = 1; block < numBlocks; ++block)
                processBlock (block);
        }

        allocationsWhileProcessing = allocations.load();
        locksWhileProcessing = locks.load();
        plugin->stop_processing (plugin);
    });

    // The listeners, which lock, hear of the values on the main thread.
    host.runTimers();
    plugin->deactivate (plugin);
    EXPECT_EQ (allocationsWhileProcessing, 0);
    EXPECT_EQ (locksWhileProcessing, 0);
    EXPECT_TRUE (host.takeLog().empty());
}

TEST (RealtimeSafety, ClapProcessAtAnyRateBlockSizeAndLayoutDoesNotAllocate)
{
    // The validation battery's conditions (tests/ClapValidationTests.cpp), counted here.
    struct Case { double sampleRate; bool inPlace; double oversampling; };

    const Case cases[] = {
        { 8000.0, true, 1.0 }, { 8000.0, false, 0.0 }, { 44100.0, false, 1.0 },
        { 96000.0, true, 0.0 }, { 192000.0, false, 1.0 }, { 384000.0, true, 1.0 }, { 384000.0, false, 0.0 },
    };

    // Single samples, odd sizes, the announced size and blocks longer than announced.
    const uint32_t blockSizes[] = { 1, 3, 17, 255, 256, 257, 1000, 2049 };
    constexpr uint32_t announced = 256;

    ClapTestLibrary library { TESSALINE_CLAP_PATH };
    ASSERT_TRUE (library.isLoaded()) << library.getError();

    for (const auto& c : cases)
    {
        ClapTestHost host { library };
        ASSERT_TRUE (host.createPlugin());
        auto* plugin = host.plugin();
        const auto& params = *host.extension<clap_plugin_params_t> (CLAP_EXT_PARAMS);
        std::vector<clap_id> ids;

        for (uint32_t index = 0; index < params.count (plugin); ++index)
        {
            clap_param_info_t info {};
            params.get_info (plugin, index, &info);
            ids.push_back (info.id);
        }

        ASSERT_TRUE (plugin->activate (plugin, c.sampleRate, 1, announced));

        // Every block moves a parameter inside it; the oversampling switch comes and goes.
        std::vector<ClapTestEventList> events (std::size (blockSizes));

        for (size_t block = 0; block < events.size(); ++block)
        {
            events[block].addValue (ids[block % ids.size()], (double) (block % 3) / 2.0, 0);
            events[block].addValue (ids[6], block % 2 == 0 ? c.oversampling : 1.0 - c.oversampling, blockSizes[block] / 2);
        }

        std::vector<float> left (2049, 0.25f), right (2049, -0.5f), outLeft (2049), outRight (2049);
        float* inChannels[] = { left.data(), right.data() };
        float* outChannels[] = { outLeft.data(), outRight.data() };
        clap_audio_buffer_t in { inChannels, nullptr, 2, 0, 0 };
        clap_audio_buffer_t out { c.inPlace ? inChannels : outChannels, nullptr, 2, 0, 0 };
        int allocationsWhileProcessing = -1, locksWithEvents = -1, locksWhileProcessing = -1;

        host.runOnAudioThread ([&]
        {
            plugin->start_processing (plugin);
            ClapTestEventList none;
            auto warmUp = ClapTestHost::processContext (in, out, announced, none.input(), none.output());
            plugin->process (plugin, &warmUp);

            {
                Watch watch;

                for (size_t block = 0; block < events.size(); ++block)
                {
                    auto context = ClapTestHost::processContext (in, out, blockSizes[block], events[block].input(),
                                                                 events[block].output());
                    plugin->process (plugin, &context);
                }
            }

            allocationsWhileProcessing = allocations.load();
            locksWithEvents = locks.load();

            {
                Watch watch;

                for (auto numFrames : blockSizes)
                {
                    auto context = ClapTestHost::processContext (in, out, numFrames, none.input(), none.output());
                    plugin->process (plugin, &context);
                }
            }

            locksWhileProcessing = locks.load();
            plugin->stop_processing (plugin);
        });

        plugin->deactivate (plugin);
        EXPECT_EQ (allocationsWhileProcessing, 0) << c.sampleRate << " Hz, in place " << c.inPlace;
        EXPECT_EQ (locksWithEvents, 0) << c.sampleRate << " Hz, in place " << c.inPlace;
        EXPECT_EQ (locksWhileProcessing, 0) << c.sampleRate << " Hz, in place " << c.inPlace;
    }
}
