#include "shell/sound_device.h"

#include <alsa/asoundlib.h>
#include <fcntl.h>
#include <jack/jack.h>
#include <portaudio.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define KEL_LEAK_CHECKS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KEL_LEAK_CHECKS 1
#endif
#endif
#ifdef KEL_LEAK_CHECKS
#include <sanitizer/lsan_interface.h>
#endif

#include "shell/jack_output.h"

// How the output kinds map onto PortAudio:
//  - OSS and ALSA are PortAudio's host APIs of those names; every device with
//    an output is a driver, under the name the host API gives it.
//  - The "sound daemon" kind is today's desktop sound server. We reach it
//    through ALSA's "pulse" device (the ALSA pulse plugin), which talks to
//    PulseAudio and to PipeWire's PulseAudio service alike, so the kind has one
//    driver when that device opens and none otherwise.
//  - NoSound is ours: a thread that asks the stream for sound at the pace a
//    device would, and throws the sound away.
//  - JACK is ours as well (shell/jack_output.h says why not PortAudio's):
//    one driver, the running server, whose rate must be the stream's.
//
// The back end writes diagnostics of its own (ALSA probing every card it knows
// of, the ALSA JACK plugin failing to reach a server, libpulse warnings), some
// through ALSA's error hook, some straight to stdout or stderr. None of it is
// for the user's console: it all goes to sound.log in the working directory.
//
// Control calls (everything but the callbacks) come from one thread; only the
// monitor is shared with the audio threads.

namespace {

constexpr float LAYER_VERSION = 3.75f;
constexpr int KIND_COUNT = FSOUND_OUTPUT_JACK + 1;
constexpr const char* NOSOUND_DRIVER_NAME = "NoSound (real-time pacing, no device)";
constexpr const char* SERVER_DEVICE = "pulse";  // ALSA's device for the sound server
constexpr const char* SERVER_DRIVER_NAME = "pulse (PulseAudio or PipeWire sound server)";
constexpr const char* LOG_PATH = "sound.log";
constexpr const char* JACK_CLIENT_NAME = "z_ozodive";

// Mode bits a stream must carry, and those that contradict them.
constexpr unsigned MODE_8BITS = 0x08;
constexpr unsigned MODE_16BITS = 0x10;
constexpr unsigned MODE_MONO = 0x20;
constexpr unsigned MODE_STEREO = 0x40;
constexpr unsigned MODE_SIGNED = 0x100;
constexpr unsigned MODE_UNSIGNED = 0x200;
constexpr unsigned MODE_NEEDED = MODE_16BITS | MODE_STEREO | MODE_SIGNED;
constexpr unsigned MODE_REFUSED = MODE_8BITS | MODE_MONO | MODE_UNSIGNED;

constexpr int BYTES_PER_FRAME = 4;  // 16-bit stereo
constexpr int MIN_RATE = 4000;      // Hz
constexpr int MAX_RATE = 192000;    // Hz
constexpr int MAX_SOFTWARE_CHANNELS = 4096;

/// One entry of a driver menu.
struct Driver {
    std::string name;
    PaDeviceIndex device;  ///< paNoDevice for NoSound
};

struct DeviceState {
    int output = -1;  ///< FSOUND_OUTPUT_*, -1 before any choice
    int driver = 0;
    bool initialized = false;
    int error = FMOD_ERR_NONE;
    bool backend_up = false;
    /// Driver menus per kind, filled on first use and kept until FSOUND_Close so
    /// the names handed out stay valid.
    std::array<std::vector<Driver>, KIND_COUNT> drivers;
    std::array<bool, KIND_COUNT> listed{};
    PaDeviceIndex device = paNoDevice;  ///< the device FSOUND_Init accepted
    std::vector<FSOUND_STREAM*> streams;
    /// Our JACK client, from the first look at the JACK kind until FSOUND_Close.
    std::unique_ptr<JACK_OUTPUT> jack;

    ~DeviceState();
};

DeviceState& state() {
    // Built on first use, so it is torn down before the program-wide objects
    // a stream callback may read: no stream outlives them.
    static DeviceState s;
    return s;
}

/// Records a failure; 0 is the failing result of most calls.
int fail(int code) {
    state().error = code;
    return 0;
}

/// The same for FSOUND_Stream_Play, which fails with -1.
int play_failed(int code) {
    fail(code);
    return -1;
}

std::atomic<sound_monitor> g_monitor{nullptr};
std::atomic<void*> g_monitor_data{nullptr};
std::atomic<sound_prebuffer> g_prebuffer{nullptr};
std::atomic<void*> g_prebuffer_data{nullptr};

// ---------------------------------------------------------------- the log

std::atomic<int> g_log_fd{-1};

int log_fd() {
    int fd = g_log_fd.load();
    if (fd >= 0) return fd;
    fd = open(LOG_PATH, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) fd = open("/dev/null", O_WRONLY | O_CLOEXEC);
    g_log_fd.store(fd);
    return fd;
}

// Formats into a stack buffer and writes once: ALSA may call this from a
// playback thread, where nothing may allocate.
void log_text(const char* text, std::size_t n) {
    const int fd = g_log_fd.load();
    if (fd < 0) return;
    while (n > 0) {
        const ssize_t done = write(fd, text, n);
        if (done <= 0) return;
        text += done;
        n -= static_cast<std::size_t>(done);
    }
}

void log_line(const char* what, const char* detail) {
    char line[512];
    const int n = std::snprintf(line, sizeof line, "sound: %s: %s\n", what, detail);
    if (n > 0) log_text(line, std::min(static_cast<std::size_t>(n), sizeof line - 1));
}

void alsa_to_log(const char* file, int line, const char* function, int err, const char* fmt, ...) {
    char text[512];
    int n = std::snprintf(text, sizeof text, "ALSA lib %s:%d:(%s) ", file, line, function);
    if (n < 0) return;
    std::size_t used = std::min(static_cast<std::size_t>(n), sizeof text - 1);
    va_list args;
    va_start(args, fmt);
    n = std::vsnprintf(text + used, sizeof text - used, fmt, args);
    va_end(args);
    if (n > 0) used = std::min(used + static_cast<std::size_t>(n), sizeof text - 2);
    if (err != 0) {
        n = std::snprintf(text + used, sizeof text - used, ": %s", snd_strerror(err));
        if (n > 0) used = std::min(used + static_cast<std::size_t>(n), sizeof text - 2);
    }
    text[used++] = '\n';
    log_text(text, used);
}

// libjack's own messages (a server that is not there, ...) go to the log too.
void jack_to_log(const char* text) { log_line("JACK", text); }

/// While alive, whatever is written to stdout or stderr goes to the log.
/// Used around the back end's set-up calls, which print as they probe.
class ConsoleToLog {
  public:
    ConsoleToLog() {
        const int fd = log_fd();
        std::fflush(stdout);
        std::fflush(stderr);
        saved_out_ = dup(STDOUT_FILENO);
        saved_err_ = dup(STDERR_FILENO);
        if (saved_out_ >= 0) dup2(fd, STDOUT_FILENO);
        if (saved_err_ >= 0) dup2(fd, STDERR_FILENO);
    }
    ~ConsoleToLog() {
        std::fflush(stdout);
        std::fflush(stderr);
        restore(saved_out_, STDOUT_FILENO);
        restore(saved_err_, STDERR_FILENO);
    }
    ConsoleToLog(const ConsoleToLog&) = delete;
    ConsoleToLog& operator=(const ConsoleToLog&) = delete;

  private:
    static void restore(int saved, int target) {
        if (saved < 0) return;
        dup2(saved, target);
        close(saved);
    }
    int saved_out_ = -1;
    int saved_err_ = -1;
};

// ---------------------------------------------------------------- back end

/// While PortAudio starts, ALSA opens every device its configuration names;
/// some plugins pull in libraries (the a52 encoder's codec library) that
/// allocate when loaded and are unloaded with the plugin, after which a
/// sanitized build's leak checker counts their blocks as lost. They are not
/// ours to free, so the checker ignores what is allocated meanwhile.
class IgnoreBackendLeaks {
  public:
#ifdef KEL_LEAK_CHECKS
    IgnoreBackendLeaks() { __lsan_disable(); }
    ~IgnoreBackendLeaks() { __lsan_enable(); }
#else
    IgnoreBackendLeaks() {}
    ~IgnoreBackendLeaks() {}
#endif
    IgnoreBackendLeaks(const IgnoreBackendLeaks&) = delete;
    IgnoreBackendLeaks& operator=(const IgnoreBackendLeaks&) = delete;
};

bool start_backend() {
    DeviceState& s = state();
    if (s.backend_up) return true;
    log_fd();
    snd_lib_error_set_handler(alsa_to_log);
    // Probing must never launch a JACK server of its own.
    setenv("JACK_NO_START_SERVER", "1", 1);
    PaError err;
    {
        ConsoleToLog quiet;
        IgnoreBackendLeaks plugins;
        err = Pa_Initialize();
    }
    if (err != paNoError) {
        log_line("PortAudio start", Pa_GetErrorText(err));
        return false;
    }
    s.backend_up = true;
    return true;
}

void stop_backend(DeviceState& s) {
    if (!s.backend_up) return;
    {
        ConsoleToLog quiet;
        Pa_Terminate();
        // ALSA keeps its parsed configuration for the process; drop it, so a
        // later start sees the sound server as it is then.
        snd_config_update_free_global();
    }
    s.backend_up = false;
}

/// Output devices of one PortAudio host API; with only_named, just that device.
std::vector<Driver> host_api_outputs(PaHostApiTypeId type, const char* only_named) {
    std::vector<Driver> found;
    if (!start_backend()) return found;
    const PaHostApiIndex api = Pa_HostApiTypeIdToHostApiIndex(type);
    const PaHostApiInfo* info = api >= 0 ? Pa_GetHostApiInfo(api) : nullptr;
    if (info == nullptr) return found;
    for (int i = 0; i < info->deviceCount; ++i) {
        const PaDeviceIndex device = Pa_HostApiDeviceIndexToDeviceIndex(api, i);
        const PaDeviceInfo* dev = device >= 0 ? Pa_GetDeviceInfo(device) : nullptr;
        if (dev == nullptr || dev->maxOutputChannels <= 0 || dev->name == nullptr) continue;
        if (only_named != nullptr && std::strcmp(dev->name, only_named) != 0) continue;
        found.push_back({dev->name, device});
    }
    return found;
}

/// The JACK kind's one driver, when a server answers: the client stays open
/// from here on, so the server's rate can be checked before anything plays.
std::vector<Driver> jack_servers() {
    DeviceState& s = state();
    std::vector<Driver> found;
    if (!s.jack) {
        log_fd();
        jack_set_error_function(jack_to_log);
        jack_set_info_function(jack_to_log);
        s.jack = std::make_unique<JACK_OUTPUT>(JACK_CLIENT_NAME);
    }
    if (!s.jack->ok()) {
        log_line("JACK", s.jack->why().c_str());
        s.jack.reset();  // asked again next time
        return found;
    }
    char name[160];
    std::snprintf(name, sizeof name, "JACK server (%d Hz, %d frames a period)", s.jack->rate(), s.jack->period());
    found.push_back({name, paNoDevice});
    return found;
}

const std::vector<Driver>& drivers_of(int kind) {
    static const std::vector<Driver> none;
    if (kind < 0 || kind >= KIND_COUNT) return none;
    DeviceState& s = state();
    if (s.listed[kind]) return s.drivers[kind];
    std::vector<Driver> list;
    switch (kind) {
    case FSOUND_OUTPUT_NOSOUND: list.push_back({NOSOUND_DRIVER_NAME, paNoDevice}); break;
    case FSOUND_OUTPUT_JACK: list = jack_servers(); break;
    case FSOUND_OUTPUT_OSS: list = host_api_outputs(paOSS, nullptr); break;
    case FSOUND_OUTPUT_ALSA: list = host_api_outputs(paALSA, nullptr); break;
    case FSOUND_OUTPUT_ESD:
        list = host_api_outputs(paALSA, SERVER_DEVICE);
        for (Driver& d : list) d.name = SERVER_DRIVER_NAME;
        break;
    default: break;
    }
    // Only a successful look is kept: a back end that failed to start is asked again.
    s.listed[kind] = kind == FSOUND_OUTPUT_NOSOUND || (kind == FSOUND_OUTPUT_JACK ? !list.empty() : s.backend_up);
    s.drivers[kind] = std::move(list);
    return s.drivers[kind];
}

bool kind_offered(int kind) {
    return kind == FSOUND_OUTPUT_NOSOUND || kind == FSOUND_OUTPUT_OSS || kind == FSOUND_OUTPUT_ESD ||
           kind == FSOUND_OUTPUT_ALSA || kind == FSOUND_OUTPUT_JACK;
}

/// Without a choice, the first kind that has a device: the sound server, ALSA, then silence.
int automatic_output() {
    for (int kind : {FSOUND_OUTPUT_ESD, FSOUND_OUTPUT_ALSA})
        if (!drivers_of(kind).empty()) return kind;
    return FSOUND_OUTPUT_NOSOUND;
}

double latency_for(PaDeviceIndex device, int frames, int rate) {
    // At least the device's safe latency, and never less than one buffer.
    const PaDeviceInfo* info = Pa_GetDeviceInfo(device);
    const double high = info != nullptr ? info->defaultHighOutputLatency : 0.0;
    return std::max(high, static_cast<double>(frames) / rate);
}

PaStreamParameters output_params(PaDeviceIndex device, int frames, int rate) {
    PaStreamParameters p{};
    p.device = device;
    p.channelCount = 2;
    p.sampleFormat = paInt16;
    p.suggestedLatency = latency_for(device, frames, rate);
    p.hostApiSpecificStreamInfo = nullptr;
    return p;
}

}  // namespace

// ---------------------------------------------------------------- streams

struct FSOUND_STREAM {
    FSOUND_STREAM(FSOUND_STREAMCALLBACK cb, void* data, int frame_count, int hz)
        : callback(cb), userdata(data), frames(frame_count), rate(hz) {}

    FSOUND_STREAMCALLBACK callback;
    void* userdata;
    int frames;  ///< frames per callback (lenbytes / 4)
    int rate;    ///< Hz
    std::vector<std::int16_t> buffer;  ///< NoSound's buffer, made before playing
    PaStream* pa = nullptr;
    JACK_OUTPUT* jack = nullptr;  ///< the JACK client playing this stream, if any
    std::thread pacer;
    std::mutex wake_mutex;
    std::condition_variable wake;
    bool stop_requested = false;  ///< guarded by wake_mutex
    std::atomic<bool> finished{false};  ///< the callback asked to stop
    bool playing = false;
};

namespace {

// Fills frames frames at out, in calls of at most one stream buffer each, so a
// callback never sees more than it asked for. False once the callback returned
// 0 (the rest is silence). Runs on the audio thread.
bool fill(FSOUND_STREAM* st, std::int16_t* out, unsigned long frames) {
    if (sound_prebuffer hook = g_prebuffer.load(std::memory_order_acquire))
        hook(g_prebuffer_data.load(std::memory_order_acquire));
    while (frames > 0) {
        const unsigned long n = std::min(frames, static_cast<unsigned long>(st->frames));
        const int bytes = static_cast<int>(n) * BYTES_PER_FRAME;
        std::memset(out, 0, static_cast<std::size_t>(bytes));
        const int keep = st->callback(st, out, bytes, st->userdata);
        if (sound_monitor m = g_monitor.load(std::memory_order_acquire))
            m(out, bytes, g_monitor_data.load(std::memory_order_acquire));
        out += n * 2;
        frames -= n;
        if (keep == 0) {
            std::memset(out, 0, frames * BYTES_PER_FRAME);
            return false;
        }
    }
    return true;
}

int pa_callback(const void*, void* output, unsigned long frames, const PaStreamCallbackTimeInfo*,
                PaStreamCallbackFlags, void* user) {
    auto* st = static_cast<FSOUND_STREAM*>(user);
    if (fill(st, static_cast<std::int16_t*>(output), frames)) return paContinue;
    st->finished.store(true);
    return paComplete;
}

/// Time from the start of play to the end of `frames` frames, exact in integers
/// so the schedule never drifts however long it runs.
std::chrono::nanoseconds frames_to_time(long long frames, int rate) {
    const long long seconds = frames / rate;
    const long long rest = frames % rate;
    return std::chrono::seconds(seconds) + std::chrono::nanoseconds(rest * 1000000000LL / rate);
}

// How far NoSound may fall behind (in buffers) before it gives up catching up
// and starts a new schedule from now, as a device would after an underrun.
constexpr long long CATCH_UP_LIMIT = 8;

// NoSound's thread: one buffer at each absolute deadline start + k buffers.
// A late buffer is followed at once by the next, so the average pace stays
// exact. Waiting on a condition variable (steady clock) lets Stop wake it at once.
void pace(FSOUND_STREAM* st) {
    using clock = std::chrono::steady_clock;
    clock::time_point start = clock::now();
    long long played = 0;  // frames since start
    std::unique_lock<std::mutex> lock(st->wake_mutex);
    while (!st->stop_requested) {
        lock.unlock();
        const bool keep = fill(st, st->buffer.data(), static_cast<unsigned long>(st->frames));
        lock.lock();
        if (!keep) {
            st->finished.store(true);
            return;
        }
        played += st->frames;
        clock::time_point due = start + frames_to_time(played, st->rate);
        const clock::time_point now = clock::now();
        if (now - due > frames_to_time(CATCH_UP_LIMIT * st->frames, st->rate)) {
            start = now;
            played = 0;
            due = now;
        }
        st->wake.wait_until(lock, due, [st] { return st->stop_requested; });
    }
}

bool start_pacer(FSOUND_STREAM* st) {
    {
        std::lock_guard<std::mutex> lock(st->wake_mutex);
        st->stop_requested = false;
    }
    try {
        st->pacer = std::thread(pace, st);
    } catch (const std::system_error& e) {
        log_line("NoSound thread", e.what());
        return false;
    }
    return true;
}

/// Notes what the device made of the stream: handy when sound stutters.
void log_stream(FSOUND_STREAM* st) {
    const PaStreamInfo* info = Pa_GetStreamInfo(st->pa);
    if (info == nullptr) return;
    char text[160];
    std::snprintf(text, sizeof text, "%d frames per buffer at %.0f Hz, output latency %.1f ms", st->frames,
                  info->sampleRate, info->outputLatency * 1000.0);
    log_line("stream started", text);
}

bool jack_fill_stream(std::int16_t* out, unsigned long frames, void* user) {
    auto* st = static_cast<FSOUND_STREAM*>(user);
    if (fill(st, out, frames)) return true;
    st->finished.store(true);
    return false;
}

bool start_jack_stream(FSOUND_STREAM* st) {
    JACK_OUTPUT* jack = state().jack.get();
    // One client, one stream: a second stream would steal the first one's ports.
    if (jack == nullptr || !jack->ok() || jack->playing()) return false;
    if (!jack->start(jack_fill_stream, st)) {
        log_line("JACK", jack->why().c_str());
        return false;
    }
    st->jack = jack;
    char text[160];
    std::snprintf(text, sizeof text, "client %s plays %d frames a period at %d Hz", jack->client_name().c_str(),
                  jack->period(), jack->rate());
    log_line("stream started", text);
    return true;
}

bool start_device_stream(FSOUND_STREAM* st) {
    const PaStreamParameters params = output_params(state().device, st->frames, st->rate);
    ConsoleToLog quiet;
    PaError err = Pa_OpenStream(&st->pa, nullptr, &params, st->rate, static_cast<unsigned long>(st->frames),
                                paClipOff | paDitherOff, pa_callback, st);
    if (err == paNoError) {
        err = Pa_StartStream(st->pa);
        if (err == paNoError) {
            log_stream(st);
            return true;
        }
        Pa_CloseStream(st->pa);
    }
    st->pa = nullptr;
    log_line("PortAudio stream", Pa_GetErrorText(err));
    return false;
}

void stop_stream(FSOUND_STREAM* st) {
    if (st->pacer.joinable()) {
        {
            std::lock_guard<std::mutex> lock(st->wake_mutex);
            st->stop_requested = true;
        }
        st->wake.notify_all();
        st->pacer.join();
    }
    if (st->jack != nullptr) {
        st->jack->stop();
        st->jack = nullptr;
    }
    if (st->pa != nullptr) {
        ConsoleToLog quiet;
        // Abort rather than drain: the caller wants silence now. Both return
        // only once the callback has finished for good.
        Pa_AbortStream(st->pa);
        Pa_CloseStream(st->pa);
        st->pa = nullptr;
    }
    st->playing = false;
}

void close_all(DeviceState& s) {
    for (FSOUND_STREAM* st : s.streams) {
        stop_stream(st);
        delete st;
    }
    s.streams.clear();
    s.jack.reset();
    stop_backend(s);
    for (int k = 0; k < KIND_COUNT; ++k) {
        s.drivers[k].clear();
        s.listed[k] = false;
    }
    s.device = paNoDevice;
    s.initialized = false;
}

DeviceState::~DeviceState() {
    // A program that ends without FSOUND_Close still stops its streams here.
    if (!streams.empty() || backend_up || jack) close_all(*this);
}

/// FSOUND_Init's check of a PortAudio device: it exists and takes 16-bit stereo at rate.
int check_device(const Driver& d, int rate) {
    const PaDeviceInfo* info = Pa_GetDeviceInfo(d.device);
    if (info == nullptr) return fail(FMOD_ERR_INIT);
    if (info->maxOutputChannels < 2) return fail(FMOD_ERR_OUTPUT_FORMAT);
    const PaStreamParameters params = output_params(d.device, 0, rate);
    PaError err;
    {
        ConsoleToLog quiet;
        err = Pa_IsFormatSupported(nullptr, &params, rate);
    }
    if (err == paFormatIsSupported) return 1;
    log_line(d.name.c_str(), Pa_GetErrorText(err));
    switch (err) {
    case paInvalidSampleRate:
    case paSampleFormatNotSupported:
    case paInvalidChannelCount: return fail(FMOD_ERR_OUTPUT_FORMAT);
    default: return fail(FMOD_ERR_INIT);
    }
}

/// FSOUND_Init's check of the JACK server: it must run at the stream's rate,
/// for the patch counts time in samples and would play at the wrong pitch.
int check_jack_rate(int rate) {
    JACK_OUTPUT* jack = state().jack.get();
    if (jack == nullptr || !jack->ok()) return fail(FMOD_ERR_INIT);
    if (jack->rate() == rate) return 1;
    std::fprintf(stderr,
                 "The JACK server runs at %d Hz; z_ozodive plays at %d Hz only and will not start at another "
                 "rate (start the server with -r %d)\n",
                 jack->rate(), rate, rate);
    return fail(FMOD_ERR_OUTPUT_FORMAT);
}

}  // namespace

// ---------------------------------------------------------------- the calls

float FSOUND_GetVersion() { return LAYER_VERSION; }

int FSOUND_SetOutput(int outputtype) {
    DeviceState& s = state();
    if (s.initialized) return fail(FMOD_ERR_BUSY);
    if (!kind_offered(outputtype)) return fail(FMOD_ERR_INVALID_PARAM);
    s.output = outputtype;
    s.driver = 0;
    return 1;
}

int FSOUND_GetOutput() { return state().output; }

int FSOUND_GetNumDrivers() { return static_cast<int>(drivers_of(state().output).size()); }

const char* FSOUND_GetDriverName(int id) {
    const std::vector<Driver>& list = drivers_of(state().output);
    if (id < 0 || id >= static_cast<int>(list.size())) return nullptr;
    return list[static_cast<std::size_t>(id)].name.c_str();
}

int FSOUND_SetDriver(int driver) {
    DeviceState& s = state();
    if (s.initialized) return fail(FMOD_ERR_BUSY);
    if (driver < 0 || driver >= FSOUND_GetNumDrivers()) return fail(FMOD_ERR_INVALID_PARAM);
    s.driver = driver;
    return 1;
}

int FSOUND_GetDriver() { return state().driver; }

int FSOUND_Init(int mixrate, int maxsoftwarechannels, unsigned) {
    DeviceState& s = state();
    if (s.initialized) return fail(FMOD_ERR_BUSY);
    if (mixrate < MIN_RATE || mixrate > MAX_RATE || maxsoftwarechannels < 0 ||
        maxsoftwarechannels > MAX_SOFTWARE_CHANNELS)
        return fail(FMOD_ERR_INVALID_PARAM);
    if (s.output < 0) s.output = automatic_output();
    const std::vector<Driver>& list = drivers_of(s.output);
    if (s.driver >= static_cast<int>(list.size())) return fail(FMOD_ERR_INIT);
    const Driver& d = list[static_cast<std::size_t>(s.driver)];
    if (s.output == FSOUND_OUTPUT_JACK) {
        if (check_jack_rate(mixrate) == 0) return 0;
    } else if (s.output != FSOUND_OUTPUT_NOSOUND && check_device(d, mixrate) == 0) {
        return 0;
    }
    s.device = d.device;
    s.initialized = true;
    return 1;
}

void FSOUND_Close() { close_all(state()); }

int FSOUND_GetError() { return state().error; }

FSOUND_STREAM* FSOUND_Stream_Create(FSOUND_STREAMCALLBACK callback, int lenbytes, unsigned mode, int samplerate,
                                    void* userdata) {
    DeviceState& s = state();
    if (!s.initialized) {
        fail(FMOD_ERR_UNINITIALIZED);
        return nullptr;
    }
    if (callback == nullptr || lenbytes <= 0 || lenbytes % BYTES_PER_FRAME != 0 ||
        (mode & MODE_NEEDED) != MODE_NEEDED || (mode & MODE_REFUSED) != 0 || samplerate < MIN_RATE ||
        samplerate > MAX_RATE) {
        fail(FMOD_ERR_INVALID_PARAM);
        return nullptr;
    }
    auto* st = new (std::nothrow) FSOUND_STREAM(callback, userdata, lenbytes / BYTES_PER_FRAME, samplerate);
    if (st == nullptr) {
        fail(FMOD_ERR_MEMORY);
        return nullptr;
    }
    try {
        // Only NoSound's thread fills a buffer of ours; PortAudio brings its own.
        if (s.output == FSOUND_OUTPUT_NOSOUND) st->buffer.resize(static_cast<std::size_t>(st->frames) * 2);
        s.streams.push_back(st);
    } catch (const std::bad_alloc&) {
        delete st;
        fail(FMOD_ERR_MEMORY);
        return nullptr;
    }
    return st;
}

int FSOUND_Stream_Play(int channel, FSOUND_STREAM* stream) {
    DeviceState& s = state();
    if (!s.initialized) return play_failed(FMOD_ERR_UNINITIALIZED);
    if (stream == nullptr || channel < -1) return play_failed(FMOD_ERR_INVALID_PARAM);
    const int played_on = channel >= 0 ? channel : 0;
    if (stream->playing && !stream->finished.load()) return played_on;
    stop_stream(stream);  // a stream whose callback ended starts again
    stream->finished.store(false);
    const bool started = s.output == FSOUND_OUTPUT_NOSOUND ? start_pacer(stream)
                         : s.output == FSOUND_OUTPUT_JACK  ? start_jack_stream(stream)
                                                           : start_device_stream(stream);
    if (!started) return play_failed(FMOD_ERR_PLAY);
    stream->playing = true;
    return played_on;
}

int FSOUND_Stream_Stop(FSOUND_STREAM* stream) {
    if (stream == nullptr) return fail(FMOD_ERR_INVALID_PARAM);
    stop_stream(stream);
    return 1;
}

int FSOUND_Stream_Close(FSOUND_STREAM* stream) {
    if (stream == nullptr) return fail(FMOD_ERR_INVALID_PARAM);
    stop_stream(stream);
    std::vector<FSOUND_STREAM*>& all = state().streams;
    all.erase(std::remove(all.begin(), all.end(), stream), all.end());
    delete stream;
    return 1;
}

void sound_set_monitor(sound_monitor monitor, void* userdata) {
    // Data first: a callback that sees the new monitor also sees its data.
    g_monitor_data.store(userdata, std::memory_order_release);
    g_monitor.store(monitor, std::memory_order_release);
}

void sound_set_prebuffer(sound_prebuffer hook, void* userdata) {
    g_prebuffer_data.store(userdata, std::memory_order_release);
    g_prebuffer.store(hook, std::memory_order_release);
}
