#include "printerapp/FileDevice.h"

#include <fcntl.h>
#include <pappl/pappl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace FileDevice {

namespace {

int Fd(pappl_device_t* device) {
    const int* fd = static_cast<const int*>(papplDeviceGetData(device));
    return fd ? *fd : -1;
}

bool Open(pappl_device_t* device, const char* uri, const char*) {
    char scheme[32], userpass[256], host[256], path[1024];
    int port = 0;
    if (httpSeparateURI(HTTP_URI_CODING_ALL, uri, scheme, sizeof scheme, userpass, sizeof userpass, host, sizeof host,
                        &port, path, sizeof path) < HTTP_URI_STATUS_OK ||
        path[0] != '/') {
        papplDeviceError(device, "Bad file URI \"%s\".", uri);
        return false;
    }
    // Appending: a device node takes it as a write, a capture file keeps
    // every job.
    const int fd = open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOCTTY, 0600);
    if (fd < 0) {
        papplDeviceError(device, "Unable to open \"%s\": %s", path, strerror(errno));
        return false;
    }
    papplDeviceSetData(device, new int(fd));
    return true;
}

void Close(pappl_device_t* device) {
    int* fd = static_cast<int*>(papplDeviceGetData(device));
    if (fd) {
        close(*fd);
        delete fd;
        papplDeviceSetData(device, nullptr);
    }
}

ssize_t Read(pappl_device_t*, void*, size_t) { return -1; }

ssize_t Write(pappl_device_t* device, const void* buffer, size_t bytes) {
    const char* p = static_cast<const char*>(buffer);
    size_t left = bytes;
    while (left > 0) {
        const ssize_t n = write(Fd(device), p, left);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            papplDeviceError(device, "Unable to write: %s", strerror(errno));
            return -1;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(bytes);
}

pappl_preason_t Status(pappl_device_t*) { return PAPPL_PREASON_NONE; }

}  // namespace

void Register() {
    // PAPPL fills in its own schemes on first use; asking first keeps them.
    papplDeviceIsSupported("socket://localhost");
    papplDeviceAddScheme("file", PAPPL_DEVTYPE_FILE, nullptr, Open, Close, Read, Write, Status, nullptr);
}

}  // namespace FileDevice
