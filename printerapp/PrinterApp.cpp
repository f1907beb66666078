#include "printerapp/PrinterApp.h"

#include <malloc.h>
#include <pappl/pappl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "families/DriverTable.h"
#include "families/KnownPrinters.h"
#include "printerapp/AdminAuth.h"
#include "printerapp/DriverData.h"
#include "printerapp/FileDevice.h"
#include "printerapp/PdfJob.h"
#include "printerapp/PrinterStatus.h"
#include "printerapp/RawJob.h"
#include "printerapp/TestLabel.h"
#include "printerapp/ZplJob.h"

namespace PrinterApp {

namespace {

const char kName[] = "quorvant-printer-app";
const char kVersion[] = "0.1.0";

// Where the system keeps its state; set once by the system callback, read by
// PAPPL's save callback for the life of the process.
std::string g_StateFile;
// The system, for the log of callbacks that PAPPL gives none.
pappl_system_t* g_System = nullptr;
// Completed jobs each printer keeps in its history (0: all, as PAPPL
// allows); older ones go, with their files. Set once by the system callback.
int g_MaxCompletedJobs = 100;

// A server option from `-o NAME=VALUE`, else the environment, else `fallback`.
std::string Setting(int count, cups_option_t* options, const char* name, const char* env, const std::string& fallback) {
    if (const char* value = cupsGetOption(name, count, options))
        return value;
    if (const char* value = env ? getenv(env) : nullptr)
        if (*value)
            return value;
    return fallback;
}

pappl_loglevel_t LogLevel(const std::string& name) {
    if (name == "debug")
        return PAPPL_LOGLEVEL_DEBUG;
    if (name == "warn")
        return PAPPL_LOGLEVEL_WARN;
    if (name == "error")
        return PAPPL_LOGLEVEL_ERROR;
    return PAPPL_LOGLEVEL_INFO;
}

// Creates `path` and the directories above it that are missing (a user's
// first run may have no ~/.config yet).
void MakeDirectories(const std::string& path) {
    for (size_t slash = path.find('/', 1); !path.empty(); slash = path.find('/', slash + 1)) {
        const std::string dir = path.substr(0, slash);
        if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
            fprintf(stderr, "%s: cannot create %s: %s\n", kName, dir.c_str(), strerror(errno));
            return;
        }
        if (slash == std::string::npos)
            return;
    }
}

// The driver for a printer found by its IEEE 1284 device ID: the "autoadd"
// sub-command's USB printers, "Auto-Detect Driver" on the web page and
// Create-Printer with the driver "auto". A printer no driver fits is not
// added, rather than added with a language it may not speak.
const char* AutoAddDriver(const char*, const char* uri, const char* deviceId, void*) {
    const KnownPrinters::Match match = KnownPrinters::Find(deviceId ? deviceId : "");
    if (g_System)
        papplLog(g_System, match.driver ? PAPPL_LOGLEVEL_INFO : PAPPL_LOGLEVEL_WARN,
                 "auto-add: %s, device ID \"%s\": %s%s%s", uri ? uri : "a printer", deviceId ? deviceId : "",
                 match.driver ? match.driver->name : "no driver fits", match.printer ? " for " : "",
                 match.printer ? match.printer->model : "");
    return match.driver ? match.driver->name : nullptr;
}

bool SaveState(pappl_system_t* system, void*) { return papplSystemSaveState(system, g_StateFile.c_str()); }

// A new printer, and one restored from the state (whose saved limit is the
// server's of an earlier run), keeps the history the server's setting says.
void LimitHistory(pappl_printer_t* printer, void* = nullptr) {
    papplPrinterSetMaxCompletedJobs(printer, g_MaxCompletedJobs);
}

void PrinterCreated(pappl_printer_t* printer, void* data) {
    PrinterStatus::Created(printer, data);
    LimitHistory(printer);
}

// The raw ports (AppSocket) need the patched PAPPL: an unpatched one would
// listen on every address whatever the server's, and a client that sends
// nothing would hold its port for ever.
#ifdef PAPPL_RAW_SOCKET_SETTINGS
constexpr bool kRawSockets = true;
#else
constexpr bool kRawSockets = false;
#endif

// Printer N listens on raw port base + N - 1, on the addresses IPP listens
// on. Set before the printers are restored, which opens their ports.
void SetRawPorts(pappl_system_t* system, int base, int idleSeconds, const std::string& listen) {
#ifdef PAPPL_RAW_SOCKET_SETTINGS
    papplSystemSetRawSocket(system, listen == "*" ? nullptr : listen.c_str(), base, idleSeconds);
#else
    (void)system, (void)base, (void)idleSeconds, (void)listen;
#endif
}

// Defaults: system-wide as root, per user otherwise. Every path can be
// moved with -o or the environment (the tests run private instances).
pappl_system_t* CreateSystem(int count, cups_option_t* options, void* data) {
    const bool root = getuid() == 0;
    const char* home = getenv("HOME");
    const std::string userDir = std::string(home && *home ? home : "/tmp") + "/.config/" + kName;
    const std::string stateDir = root ? std::string("/var/lib/") + kName : userDir;
    const std::string spool = Setting(count, options, "spool-directory", "QUORVANT_SPOOL_DIR",
                                      root ? std::string("/var/spool/") + kName : userDir + "/spool");
    g_StateFile = Setting(count, options, "state-file", "QUORVANT_STATE_FILE", stateDir + "/" + kName + ".state");
    const std::string logFile = Setting(count, options, "log-file", "QUORVANT_LOG_FILE", root ? "syslog" : "-");
    const pappl_loglevel_t level = LogLevel(Setting(count, options, "log-level", "QUORVANT_LOG_LEVEL", "info"));
    const int port = std::atoi(Setting(count, options, "server-port", "QUORVANT_PORT", "0").c_str());
    // Loopback only unless the administrator names the addresses ("*": all).
    const std::string listen = Setting(count, options, "listen-hostname", "QUORVANT_LISTEN", "localhost");
    // Administration (web pages, IPP administrative operations) needs a
    // login through this PAM service by a member of the admin group;
    // printing stays open. "none" leaves administration open to whoever can
    // reach the server.
    const std::string auth = Setting(count, options, "auth-service", "QUORVANT_AUTH_SERVICE", "cups");
    const std::string adminGroup = Setting(count, options, "admin-group", "QUORVANT_ADMIN_GROUP", "lpadmin");
    // A printer that takes no data for this long fails its job (0: waits for
    // ever).
    FileDevice::SetWriteTimeout(
        std::atoi(Setting(count, options, "write-timeout", "QUORVANT_WRITE_TIMEOUT", "60").c_str()));
    // Every job runs on a thread of its own: glibc would give the threads up
    // to eight arenas a core, whose fragments make a long-running server's
    // memory creep up; two keep it flat and cost less time.
    mallopt(M_ARENA_MAX, 2);
    g_MaxCompletedJobs = std::max(
        0, std::atoi(Setting(count, options, "max-completed-jobs", "QUORVANT_MAX_COMPLETED_JOBS", "100").c_str()));

    // The state file, the spool and their directories are the service's
    // alone (PAPPL writes its files as the umask lets it).
    umask(077);
    const std::string stateParent = g_StateFile.substr(0, g_StateFile.find_last_of('/'));
    for (const std::string& dir : {stateParent, spool})
        MakeDirectories(dir);

    // Printer N takes jobs on raw port base + N - 1 (0: no raw ports); a
    // client that sends nothing for the idle time is dropped.
    const int rawBase = std::atoi(Setting(count, options, "raw-port-base", "QUORVANT_RAW_PORT_BASE", "9100").c_str());
    const int rawIdle =
        std::atoi(Setting(count, options, "raw-idle-timeout", "QUORVANT_RAW_IDLE_TIMEOUT", "60").c_str());
    if (rawBase < 0 || rawBase > 65535 || rawIdle < 1) {
        fprintf(stderr, "%s: raw-port-base is 0 (off) or a port, raw-idle-timeout at least 1 s\n", kName);
        return nullptr;
    }
    const bool rawPorts = rawBase > 0 && kRawSockets;

    // PAPPL offers no TLS on a loopback-only server (its URIs name
    // "localhost"); saying so keeps its security attributes consistent.
    const bool loopback = listen == "localhost" || listen == "127.0.0.1" || listen == "::1";
    const pappl_soptions_t soptions = PAPPL_SOPTIONS_MULTI_QUEUE | PAPPL_SOPTIONS_WEB_INTERFACE |
                                      PAPPL_SOPTIONS_WEB_LOG | PAPPL_SOPTIONS_WEB_SECURITY |
                                      (loopback ? PAPPL_SOPTIONS_NO_TLS : PAPPL_SOPTIONS_NONE) |
                                      (rawPorts ? PAPPL_SOPTIONS_RAW_SOCKET : PAPPL_SOPTIONS_NONE);
    pappl_system_t* system =
        papplSystemCreate(soptions, "Quorvant Printer App", port, "_print,_universal", spool.c_str(), logFile.c_str(),
                          level, auth == "none" ? nullptr : auth.c_str(), false);
    if (!system)
        return nullptr;
    g_System = system;
    if (auth != "none")
        AdminAuth::Install(system, auth, adminGroup);
    if (!papplSystemAddListeners(system, listen == "*" ? nullptr : listen.c_str())) {
        papplLog(system, PAPPL_LOGLEVEL_FATAL, "cannot listen on %s port %d", listen.c_str(), port);
        papplSystemDelete(system);
        return nullptr;
    }

    auto* drivers = static_cast<std::vector<pappl_pr_driver_t>*>(data);
    papplSystemSetPrinterDrivers(system, static_cast<int>(drivers->size()), drivers->data(), AutoAddDriver,
                                 PrinterCreated, DriverData::Fill, nullptr);
    if (rawPorts)
        SetRawPorts(system, rawBase, rawIdle, listen);
    papplSystemAddMIMEFilter(system, "application/octet-stream", "image/pwg-raster", RawJob::Print, nullptr);
    papplSystemAddMIMEFilter(system, ZplJob::kFormat, "image/pwg-raster", PrintZplJob, nullptr);
    papplSystemSetMIMECallback(system, ZplJob::Type, nullptr);
    // PAPPL auto-types a document that starts with "%PDF" as PDF, so it too
    // comes here.
    papplSystemAddMIMEFilter(system, "application/pdf", "image/pwg-raster", PdfJob::Print, nullptr);
    papplSystemSetFooterHTML(system, "Quorvant thermal printer drivers");
    papplSystemSetSaveCallback(system, SaveState, nullptr);
    if (!papplSystemLoadState(system, g_StateFile.c_str()))
        papplSystemSetDNSSDName(system, "Quorvant Printer App");
    papplSystemIteratePrinters(system, LimitHistory, nullptr);
    papplLog(system, PAPPL_LOGLEVEL_INFO, "state %s, spool %s, listening on %s, %s", g_StateFile.c_str(), spool.c_str(),
             listen.c_str(), rawPorts ? ("raw ports from " + std::to_string(rawBase)).c_str() : "no raw ports");
    return system;
}

const char kTestPage[] = "testpage";

// What papplMainloop needs again for the "testpage" sub-command.
struct Mainloop {
    std::vector<pappl_pr_driver_t>* drivers = nullptr;
};
Mainloop g_Mainloop;

int Loop(int argc, char* argv[]);

// `testpage [-d PRINTER | -u URI] [-o NAME=VALUE]...`: submits the request
// the server answers with the printer's test label, through PAPPL's own
// "submit" (which finds, or starts, the server and the default printer).
int TestPage(const char* baseName, int count, cups_option_t* options, int files, char**, void*) {
    if (files > 0) {
        fprintf(stderr, "%s: %s takes no files.\n", baseName, kTestPage);
        return 1;
    }
    const char* tmp = getenv("TMPDIR");
    std::string request = std::string(tmp && *tmp ? tmp : "/tmp") + "/quorvant-testpage-XXXXXX";
    const int fd = mkstemp(&request[0]);
    const ssize_t length = static_cast<ssize_t>(strlen(TestLabel::kRequest));
    if (fd < 0 || write(fd, TestLabel::kRequest, length) != length) {
        fprintf(stderr, "%s: cannot write %s: %s\n", baseName, request.c_str(), strerror(errno));
        if (fd >= 0)
            close(fd);
        unlink(request.c_str());
        return 1;
    }
    close(fd);
    // The options go on as given; -o values are quoted for PAPPL's parser,
    // which splits at spaces.
    std::vector<std::string> args = {baseName, "submit"};
    if (!cupsGetOption("job-name", count, options))
        args.insert(args.end(), {"-o", "job-name='Test Page'"});
    for (int i = 0; i < count; i++) {
        const std::string name = options[i].name;
        std::string quoted = "'";
        for (const char* c = options[i].value; *c; c++)
            quoted += *c == '\'' || *c == '\\' ? std::string("\\") + *c : std::string(1, *c);
        quoted += "'";
        if (name == "printer-name" || name == "printer-uri")
            args.insert(args.end(), {name == "printer-name" ? "-d" : "-u", options[i].value});
        else
            args.insert(args.end(), {"-o", name + "=" + quoted});
    }
    args.push_back(request);
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(&arg[0]);
    argv.push_back(nullptr);
    const int status = Loop(static_cast<int>(args.size()), argv.data());
    unlink(request.c_str());
    return status;
}

void Usage(void*) {
    printf(
        "Usage: %s SUB-COMMAND [OPTIONS] [FILENAME]\n"
        "       %s [OPTIONS] [FILENAME]\n"
        "       %s [OPTIONS] -\n\n",
        kName, kName, kName);
    puts(
        "Sub-commands:\n"
        "  add PRINTER      Add a printer.\n"
        "  autoadd          Automatically add supported printers.\n"
        "  cancel           Cancel one or more jobs.\n"
        "  default          Set the default printer.\n"
        "  delete           Delete a printer.\n"
        "  devices          List devices.\n"
        "  drivers          List drivers.\n"
        "  jobs             List jobs.\n"
        "  modify           Modify a printer.\n"
        "  options          List printer options.\n"
        "  pause            Pause printing for a printer.\n"
        "  printers         List printers.\n"
        "  resume           Resume printing for a printer.\n"
        "  server           Run a server.\n"
        "  shutdown         Shutdown a running server.\n"
        "  status           Show server/printer/job status.\n"
        "  submit           Submit a file for printing.\n"
        "  testpage         Print the printer's test label.\n"
        "\n"
        "Options:\n"
        "  -a               Cancel all jobs (cancel).\n"
        "  -d PRINTER       The printer.\n"
        "  -j JOB-ID        The job (cancel).\n"
        "  -m DRIVER-NAME   The driver (add/modify; auto: by the device ID).\n"
        "  -n COPIES        The number of copies (submit, testpage).\n"
        "  -o NAME=VALUE    An option (add,modify,server,submit,testpage).\n"
        "  -u URI           The ipp: or ipps: printer or server.\n"
        "  -v DEVICE-URI    The socket: or usb: device (add/modify).\n"
        "  --help           Show this help.\n"
        "  --version        Show the program version.");
}

int Loop(int argc, char* argv[]) {
    std::vector<pappl_pr_driver_t>& drivers = *g_Mainloop.drivers;
    return papplMainloop(argc, argv, kVersion, nullptr, static_cast<int>(drivers.size()), drivers.data(), AutoAddDriver,
                         DriverData::Fill, kTestPage, TestPage, CreateSystem, Usage, &drivers);
}

}  // namespace

int Run(int argc, char* argv[]) {
    FileDevice::Register();

    size_t count = 0;
    const DriverTable::Driver* table = DriverTable::Drivers(count);
    static std::vector<std::string> deviceIds;
    static std::vector<pappl_pr_driver_t> drivers;
    for (size_t i = 0; i < count; i++)
        deviceIds.push_back(std::string("MFG:Quorvant;MDL:") + table[i].deviceIdModel + ";");
    for (size_t i = 0; i < count; i++)
        drivers.push_back({table[i].name, table[i].description, deviceIds[i].c_str(), nullptr});

    g_Mainloop.drivers = &drivers;
    return Loop(argc, argv);
}

}  // namespace PrinterApp
