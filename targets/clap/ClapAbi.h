#pragma once

// The CLAP ABI as this plug-in uses it. The core comes from the CLAP headers found by the build
// (Debian's copy covers CLAP 1.1; an official SDK works too). Whatever a header set lacks is
// declared here from the CLAP standard, each block only when the header set has no file for it,
// so an official 1.2 SDK takes precedence.

#include <clap/entry.h>
#include <clap/plugin-factory.h>
#include <clap/ext/audio-ports.h>
#include <clap/ext/gui.h>
#include <clap/ext/latency.h>
#include <clap/ext/note-ports.h>
#include <clap/ext/params.h>
#include <clap/ext/state.h>
#include <clap/ext/thread-check.h>
#include <clap/ext/timer-support.h>

// The CLAP version this plug-in declares in its entry and descriptor.
static CLAP_CONSTEXPR const clap_version_t tessalineClapVersion { 1, 2, 7 };

#if __has_include(<clap/ext/log.h>)
 #include <clap/ext/log.h>
#else
static CLAP_CONSTEXPR const char CLAP_EXT_LOG[] = "clap.log";

enum
{
    CLAP_LOG_DEBUG = 0,
    CLAP_LOG_INFO = 1,
    CLAP_LOG_WARNING = 2,
    CLAP_LOG_ERROR = 3,
    CLAP_LOG_FATAL = 4,
    CLAP_LOG_HOST_MISBEHAVING = 5,
    CLAP_LOG_PLUGIN_MISBEHAVING = 6,
};
typedef int32_t clap_log_severity;

typedef struct clap_host_log
{
    void (CLAP_ABI* log) (const clap_host_t* host, clap_log_severity severity, const char* msg);
} clap_host_log_t;
#endif

#if __has_include(<clap/ext/render.h>)
 #include <clap/ext/render.h>
#else
static CLAP_CONSTEXPR const char CLAP_EXT_RENDER[] = "clap.render";

enum
{
    CLAP_RENDER_REALTIME = 0,
    CLAP_RENDER_OFFLINE = 1,
};
typedef int32_t clap_plugin_render_mode;

typedef struct clap_plugin_render
{
    bool (CLAP_ABI* has_hard_realtime_requirement) (const clap_plugin_t* plugin);
    bool (CLAP_ABI* set) (const clap_plugin_t* plugin, clap_plugin_render_mode mode);
} clap_plugin_render_t;
#endif

#if __has_include(<clap/ext/tail.h>)
 #include <clap/ext/tail.h>
#else
static CLAP_CONSTEXPR const char CLAP_EXT_TAIL[] = "clap.tail";

typedef struct clap_plugin_tail
{
    uint32_t (CLAP_ABI* get) (const clap_plugin_t* plugin);
} clap_plugin_tail_t;

typedef struct clap_host_tail
{
    void (CLAP_ABI* changed) (const clap_host_t* host);
} clap_host_tail_t;
#endif

#if __has_include(<clap/ext/note-name.h>)
 #include <clap/ext/note-name.h>
#else
static CLAP_CONSTEXPR const char CLAP_EXT_NOTE_NAME[] = "clap.note-name";

typedef struct clap_note_name
{
    char name[CLAP_NAME_SIZE];
    int16_t port;
    int16_t key;
    int16_t channel;
} clap_note_name_t;

typedef struct clap_plugin_note_name
{
    uint32_t (CLAP_ABI* count) (const clap_plugin_t* plugin);
    bool (CLAP_ABI* get) (const clap_plugin_t* plugin, uint32_t index, clap_note_name_t* noteName);
} clap_plugin_note_name_t;
#endif

#if __has_include(<clap/color.h>)
 #include <clap/color.h>
#else
typedef struct clap_color
{
    uint8_t alpha;
    uint8_t red;
    uint8_t green;
    uint8_t blue;
} clap_color_t;
#endif

#if __has_include(<clap/ext/track-info.h>)
 #include <clap/ext/track-info.h>
#else
static CLAP_CONSTEXPR const char CLAP_EXT_TRACK_INFO[] = "clap.track-info/1";
static CLAP_CONSTEXPR const char CLAP_EXT_TRACK_INFO_COMPAT[] = "clap.track-info.draft/1";

enum
{
    CLAP_TRACK_INFO_HAS_TRACK_NAME = (1 << 0),
    CLAP_TRACK_INFO_HAS_TRACK_COLOR = (1 << 1),
    CLAP_TRACK_INFO_HAS_AUDIO_CHANNEL = (1 << 2),
    CLAP_TRACK_INFO_IS_FOR_RETURN_TRACK = (1 << 3),
    CLAP_TRACK_INFO_IS_FOR_BUS = (1 << 4),
    CLAP_TRACK_INFO_IS_FOR_MASTER = (1 << 5),
};

typedef struct clap_track_info
{
    uint64_t flags;
    char name[CLAP_NAME_SIZE];
    clap_color_t color;
    int32_t audio_channel_count;
    const char* audio_port_type;
} clap_track_info_t;

typedef struct clap_plugin_track_info
{
    void (CLAP_ABI* changed) (const clap_plugin_t* plugin);
} clap_plugin_track_info_t;

typedef struct clap_host_track_info
{
    bool (CLAP_ABI* get) (const clap_host_t* host, clap_track_info_t* info);
} clap_host_track_info_t;
#endif
