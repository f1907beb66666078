#include "printerapp/FileDevice.h"

#include <fcntl.h>
#include <pappl/pappl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>

namespace FileDevice {

namespace {

using Clock = std::chrono::steady_clock;

// The longest wait between two looks for a cancel, and between two tries to
// open a FIFO that has no reader yet.
constexpr int kWaitMs = 250;
constexpr int kFifoRetryMs = 100;

int g_WriteTimeout = 60;

struct Output {
    std::string path;
    int fd = -1;  // a FIFO's opens at the first write
    bool fifo = false;
    bool readable = false;  // a character device opened for reading too
};

bool Canceled(pappl_device_t* device) {
#ifdef PAPPL_DEVICE_WRITE_TIMEOUT
    return papplDeviceIsCanceled(device);
#else
    (void)device;
    return false;
#endif
}

int Timeout(pappl_device_t* device) {
#ifdef PAPPL_DEVICE_WRITE_TIMEOUT
    return papplDeviceGetWriteTimeout(device);
#else
    (void)device;
    return g_WriteTimeout;
#endif
}

// One wait for the printer (for room on `fd`, or for a FIFO's reader when
// `fd` is -1): false, with errno set, once it has taken nothing since
// `progress` for the write timeout, or the job is cancelled.
bool Wait(pappl_device_t* device, int fd, Clock::time_point progress) {
    if (Canceled(device)) {
        errno = ECANCELED;
        return false;
    }
    const int timeout = Timeout(device);
    if (timeout > 0 && Clock::now() - progress >= std::chrono::seconds(timeout)) {
        errno = ETIMEDOUT;
        return false;
    }
    pollfd room{fd, POLLOUT, 0};
    poll(&room, fd >= 0 ? 1 : 0, fd >= 0 ? kWaitMs : kFifoRetryMs);
    return true;
}

// Reports a failure with errno kept for the caller (logging may change it).
ssize_t Fail(pappl_device_t* device, const char* what, const std::string& path) {
    const int error = errno;
    papplDeviceError(device, "%s \"%s\": %s", what, path.c_str(), strerror(error));
    errno = error;
    return -1;
}

// A job's own file in a directory, named as PAPPL's file device names it.
std::string JobFile(const std::string& dir, const char* name, const std::string& ext) {
    std::string file = name && *name ? name : "job";
    for (char& c : file)
        if (static_cast<unsigned char>(c) < ' ' || static_cast<unsigned char>(c) >= 0x7f || c == '/')
            c = '_';
    return dir + "/" + file + "." + ext;
}

// The path of a "file:" URI, or "" when it has none.
std::string PathOf(const char* uri) {
    char scheme[32], userpass[256], host[256], resource[1024];
    int port = 0;
    if (httpSeparateURI(HTTP_URI_CODING_ALL, uri, scheme, sizeof scheme, userpass, sizeof userpass, host, sizeof host,
                        &port, resource, sizeof resource) < HTTP_URI_STATUS_OK ||
        resource[0] != '/')
        return "";
    return resource;
}

bool Open(pappl_device_t* device, const char* uri, const char* name) {
    const std::string resource = PathOf(uri);
    if (resource.empty()) {
        papplDeviceError(device, "Bad file URI \"%s\".", uri);
        return false;
    }
    auto* output = new Output;
    output->path = resource;
    std::string ext = "prn";
    const size_t query = output->path.find('?');
    if (query != std::string::npos) {
        const std::string options = output->path.substr(query + 1);
        output->path.erase(query);
        if (options.rfind("ext=", 0) == 0 && options.find('/') == std::string::npos)
            ext = options.substr(4);
    }

    // Nothing may block here: PAPPL opens the device with the printer locked.
    // Device nodes stay non-blocking so that writes can time out.
    const int flags = O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    struct stat info {};
    const bool exists = stat(output->path.c_str(), &info) == 0;
    if (exists && S_ISFIFO(info.st_mode)) {
        output->fifo = true;
    } else if (exists && S_ISDIR(info.st_mode)) {
        output->path = JobFile(output->path, name, ext);
        output->fd = open(output->path.c_str(), flags | O_CREAT | O_TRUNC, 0666);
    } else if (exists && S_ISCHR(info.st_mode)) {
        // Read and write where the node allows it: the replies come back
        // on the same line.
        output->fd = open(output->path.c_str(), (flags & ~O_WRONLY) | O_RDWR);
        output->readable = output->fd >= 0;
        if (output->fd < 0)
            output->fd = open(output->path.c_str(), flags);
    } else if (!exists || S_ISREG(info.st_mode)) {
        // Appending: a capture file keeps every job.
        output->fd = open(output->path.c_str(), flags | O_CREAT | O_APPEND, 0666);
    } else {
        errno = EINVAL;
    }
    if (output->fd < 0 && !output->fifo) {
        Fail(device, "Unable to open", output->path);
        delete output;
        return false;
    }
    papplDeviceSetData(device, output);
    return true;
}

void Close(pappl_device_t* device) {
    auto* output = static_cast<Output*>(papplDeviceGetData(device));
    if (!output)
        return;
    if (output->fd >= 0) {
#ifdef PAPPL_DEVICE_STICKY_ERRORS
        // A serial port's unsent output of a failed or cancelled job is
        // dropped, as a socket's is reset: it would print later.
        if (papplDeviceGetError(device) && isatty(output->fd))
            tcflush(output->fd, TCOFLUSH);
#endif
        close(output->fd);
    }
    delete output;
    papplDeviceSetData(device, nullptr);
}

// What the printer sent back, waiting at most the device's read timeout
// (0 when nothing came); -1 when there is no way back.
ssize_t Read(pappl_device_t* device, void* buffer, size_t bytes) {
    auto* output = static_cast<Output*>(papplDeviceGetData(device));
    if (!output || !output->readable)
        return -1;
#ifdef PAPPL_DEVICE_READ_TIMEOUT
    const int timeout = papplDeviceGetReadTimeout(device);
#else
    const int timeout = 0;
#endif
    pollfd data{output->fd, POLLIN, 0};
    int ready;
    while ((ready = poll(&data, 1, timeout)) < 0 && errno == EINTR) {
    }
    if (ready == 0)
        return 0;
    if (ready < 0 || !(data.revents & POLLIN))
        return -1;
    const ssize_t n = read(output->fd, buffer, bytes);
    if (n == 0)
        return -1;  // the line is closed: nothing will come
    return n < 0 && (errno == EAGAIN || errno == EINTR) ? 0 : n;
}

ssize_t Write(pappl_device_t* device, const void* buffer, size_t bytes) {
    auto* output = static_cast<Output*>(papplDeviceGetData(device));
    if (!output)
        return -1;
    Clock::time_point progress = Clock::now();
    // A FIFO opens for writing only once a reader has it open.
    while (output->fd < 0) {
        output->fd = open(output->path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (output->fd < 0 && ((errno != ENXIO && errno != EINTR) || !Wait(device, -1, progress)))
            return Fail(device, "No reader opened", output->path);
    }
    const char* p = static_cast<const char*>(buffer);
    size_t left = bytes;
    while (left > 0) {
        const ssize_t n = write(output->fd, p, left);
        if (n > 0) {
            p += n;
            left -= static_cast<size_t>(n);
            progress = Clock::now();
        } else if ((n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) ||
                   !Wait(device, output->fd, progress)) {
            return Fail(device, "Unable to write to", output->path);
        }
    }
    return static_cast<ssize_t>(bytes);
}

pappl_preason_t Status(pappl_device_t*) { return PAPPL_PREASON_NONE; }

}  // namespace

void Register() {
    // A PAPPL without the scheme-replacing fix keeps its own "file" (with
    // no FIFOs) and fills in its schemes only on first use; asking first
    // keeps them.
    papplDeviceIsSupported("socket://localhost");
    papplDeviceAddScheme("file", PAPPL_DEVTYPE_FILE, nullptr, Open, Close, Read, Write, Status, nullptr);
}

void SetWriteTimeout(int seconds) {
    g_WriteTimeout = seconds > 0 ? seconds : 0;
#ifdef PAPPL_DEVICE_WRITE_TIMEOUT
    papplDeviceSetDefaultWriteTimeout(g_WriteTimeout);
#endif
}

int WriteTimeout() { return g_WriteTimeout; }

bool Answers(const char* uri) {
    if (std::strncmp(uri, "file:", 5) != 0)
        return true;
    struct stat info {};
    std::string path = PathOf(uri);
    path.erase(std::min(path.find('?'), path.size()));
    return !path.empty() && stat(path.c_str(), &info) == 0 && S_ISCHR(info.st_mode);
}

}  // namespace FileDevice
