// Requests anyone on the network can send: who may change what without a
// login, and requests built to crash the server or to cost it CPU. Sent as
// raw bytes, so that nothing on the client side recurses or refuses to
// encode them.
#include <cups/cups.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "printerapp/AppServer.h"
#include "support/Sanitizers.h"

namespace testing_support {
namespace {

// An IPP request in its wire encoding.
class RawIpp {
public:
    RawIpp(uint16_t operation, const std::string& uri) {
        Put({2, 0, static_cast<char>(operation >> 8), static_cast<char>(operation & 0xFF), 0, 0, 0, 1, 0x01});
        Attribute(0x47, "attributes-charset", "utf-8");
        Attribute(0x48, "attributes-natural-language", "en");
        Attribute(0x45, uri.find("/ipp/system") == std::string::npos ? "printer-uri" : "system-uri", uri);
    }
    // A value; an empty name adds another value to the previous attribute.
    RawIpp& Attribute(char tag, const std::string& name, const std::string& value) {
        Put({tag});
        Short(name.size());
        m_bytes += name;
        Short(value.size());
        m_bytes += value;
        return *this;
    }
    RawIpp& Integer(char tag, const std::string& name, int value) {
        const std::string bytes{static_cast<char>(value >> 24), static_cast<char>(value >> 16),
                                static_cast<char>(value >> 8), static_cast<char>(value)};
        return Attribute(tag, name, bytes);
    }
    RawIpp& Group(char tag) {
        Put({tag});
        return *this;
    }
    // A collection holding a collection, `depth` deep.
    RawIpp& Nested(const std::string& name, size_t depth) {
        Attribute(0x34, name, "");
        for (size_t i = 1; i < depth; i++)
            Attribute(0x4A, "", "x").Attribute(0x34, "", "");
        for (size_t i = 0; i < depth; i++)
            Attribute(0x37, "", "");
        return *this;
    }
    std::string End(const std::string& document = "") const { return m_bytes + '\x03' + document; }
    size_t Size() const { return m_bytes.size(); }

private:
    void Put(std::initializer_list<char> bytes) { m_bytes.append(bytes.begin(), bytes.end()); }
    void Short(size_t n) { Put({static_cast<char>(n >> 8), static_cast<char>(n & 0xFF)}); }
    std::string m_bytes;
};

struct Reply {
    int http = 0;  // HTTP status; 0: no answer
    int ipp = -1;  // IPP status-code, when the body is IPP
};

// POSTs `body` to `path` and reads the answer.
Reply Post(int port, const std::string& path, const std::string& body) {
    Reply reply;
    http_t* http = httpConnect2("localhost", port, nullptr, AF_INET, HTTP_ENCRYPTION_NEVER, 1, 30000, nullptr);
    if (!http)
        return reply;
    httpClearFields(http);
    httpSetField(http, HTTP_FIELD_CONTENT_TYPE, "application/ipp");
    httpSetLength(http, body.size());
    if (httpPost(http, path.c_str()) == 0) {
        // The server may answer and stop reading before the end.
        for (size_t sent = 0; sent < body.size();) {
            const ssize_t n = httpWrite2(http, body.data() + sent, std::min<size_t>(body.size() - sent, 65536));
            if (n <= 0)
                break;
            sent += static_cast<size_t>(n);
        }
        http_status_t status;
        while ((status = httpUpdate(http)) == HTTP_STATUS_CONTINUE) {
        }
        reply.http = status == HTTP_STATUS_ERROR ? 0 : static_cast<int>(status);
        if (status == HTTP_STATUS_OK) {
            ipp_t* response = ippNew();
            if (ippRead(http, response) == IPP_STATE_DATA)
                reply.ipp = ippGetStatusCode(response);
            ippDelete(response);
        }
    }
    httpClose(http);
    return reply;
}

// The server's CPU time so far, in milliseconds.
double CpuMillis(int pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> field; i++) {
        if (i == 14)
            utime = std::stoull(field);
        if (i == 15)
            stime = std::stoull(field);
    }
    return 1000.0 * static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// The sanitizers' runtime costs several times the work.
constexpr double kCpuBudgetMs = kSanitized ? 500 : 50;

class PrinterAppRequestTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!server.Start())
            GTEST_SKIP() << "the printer application cannot start here: " << server.Problem();
        std::string output;
        ASSERT_TRUE(server.AddFilePrinter("labels", "tspl_203dpi", output)) << output;
        printer = server.PrinterUri("labels");
    }
    // A job by `user`, held so that it stays.
    int HeldJob(const std::string& user) {
        RawIpp job(IPP_OP_PRINT_JOB, printer);
        job.Attribute(0x42, "requesting-user-name", user).Attribute(0x49, "document-format", "image/pwg-raster");
        job.Group(0x02).Attribute(0x44, "job-hold-until", "indefinite");
        const Bytes page = PwgGrayPage(200, 100, 203, 0, 0, 10, 10);
        EXPECT_EQ(200, Post(server.Port(), "/ipp/print/labels", job.End(std::string(page.begin(), page.end()))).http);
        return server.LastJob("labels").id;
    }

    AppServer server;
    std::string printer;
};

// Without a login: what may anyone do, and what needs an administrator.
TEST_F(PrinterAppRequestTest, ChangesNeedALoginWhateverPapplAsksFor) {
    const int own = HeldJob("alice");
    const int other = HeldJob("bob");
    ASSERT_GT(own, 0);
    const std::string system = "ipp://localhost:" + std::to_string(server.Port()) + "/ipp/system";
    struct Case {
        const char* name;
        uint16_t operation;
        bool onSystem;
        int job;  // 1: alice's job, 2: bob's
        bool allowed;
    };
    const Case cases[] = {
        {"Get-Printer-Attributes", IPP_OP_GET_PRINTER_ATTRIBUTES, false, 0, true},
        {"Get-Jobs", IPP_OP_GET_JOBS, false, 0, true},
        {"Get-Job-Attributes", IPP_OP_GET_JOB_ATTRIBUTES, false, 2, true},
        {"Validate-Job", IPP_OP_VALIDATE_JOB, false, 0, true},
        {"Get-System-Attributes", IPP_OP_GET_SYSTEM_ATTRIBUTES, true, 0, true},
        {"Release-Job of one's own", IPP_OP_RELEASE_JOB, false, 1, true},
        {"Hold-Job of another's", IPP_OP_HOLD_JOB, false, 2, false},
        {"Release-Job of another's", IPP_OP_RELEASE_JOB, false, 2, false},
        {"Cancel-Job of another's", IPP_OP_CANCEL_JOB, false, 2, false},
        {"Cancel-Jobs", IPP_OP_CANCEL_JOBS, false, 0, false},
        {"Cancel-Current-Job", IPP_OP_CANCEL_CURRENT_JOB, false, 0, false},
        {"Disable-Printer", IPP_OP_DISABLE_PRINTER, false, 0, false},
        {"Enable-Printer", IPP_OP_ENABLE_PRINTER, false, 0, false},
        {"Pause-Printer", IPP_OP_PAUSE_PRINTER, false, 0, false},
        {"Resume-Printer", IPP_OP_RESUME_PRINTER, false, 0, false},
        {"Hold-New-Jobs", IPP_OP_HOLD_NEW_JOBS, false, 0, false},
        {"Release-Held-New-Jobs", IPP_OP_RELEASE_HELD_NEW_JOBS, false, 0, false},
        {"Set-Printer-Attributes", IPP_OP_SET_PRINTER_ATTRIBUTES, false, 0, false},
        {"Delete-Printer", IPP_OP_DELETE_PRINTER, true, 0, false},
        {"Set-System-Attributes", IPP_OP_SET_SYSTEM_ATTRIBUTES, true, 0, false},
        {"Disable-All-Printers", IPP_OP_DISABLE_ALL_PRINTERS, true, 0, false},
        {"Pause-All-Printers", IPP_OP_PAUSE_ALL_PRINTERS, true, 0, false},
        {"Shutdown-All-Printers", IPP_OP_SHUTDOWN_ALL_PRINTERS, true, 0, false},
    };
    for (const Case& c : cases) {
        RawIpp request(c.operation, c.onSystem ? system : printer);
        request.Attribute(0x42, "requesting-user-name", "alice");
        if (c.job)
            request.Integer(0x21, "job-id", c.job == 1 ? own : other);
        if (c.operation == IPP_OP_DELETE_PRINTER)
            request.Integer(0x21, "printer-id", 1);
        if (c.operation == IPP_OP_SET_PRINTER_ATTRIBUTES)
            request.Group(0x04).Integer(0x21, "print-darkness-default", 100);
        const Reply reply = Post(server.Port(), c.onSystem ? "/ipp/system" : "/ipp/print/labels", request.End());
        // Refused: a login asked for, or nothing done for another reason.
        const bool done = reply.http == 200 && reply.ipp >= 0 && reply.ipp < 0x0400;
        EXPECT_EQ(c.allowed, done) << c.name << ": HTTP " << reply.http << ", IPP status 0x" << std::hex << reply.ipp;
    }
    // Nothing of it took effect: the printer still prints.
    EXPECT_TRUE(server.Alive());
    const std::string file = server.Dir().File("job.pwg");
    WriteFile(file, PwgGrayPage(200, 100, 203, 0, 0, 10, 10));
    EXPECT_EQ("completed", server.Print("labels", file)) << server.LogProblems();
}

// Requests of up to 16 MB built to exhaust the server's stack or CPU: each
// is answered (or refused), costs little, and the server goes on.
TEST_F(PrinterAppRequestTest, HostileRequestsCostLittleAndCrashNothing) {
    struct Case {
        const char* name;
        std::function<std::string(const std::string&)> make;
        bool costBounded;  // the CPU bound holds (requests up to 1 MB)
    };
    const auto repeated = [](const std::string& uri, size_t count, const std::function<std::string(size_t)>& value) {
        RawIpp request(IPP_OP_GET_PRINTER_ATTRIBUTES, uri);
        for (size_t i = 0; i < count; i++)
            request.Attribute(0x44, i ? "" : "requested-attributes", value(i));
        return request.End();
    };
    const Case cases[] = {
        {"a collection nested 8000 deep (125 KB)",
         [](const std::string& uri) {
             return RawIpp(IPP_OP_GET_PRINTER_ATTRIBUTES, uri).Nested("media-col", 8000).End();
         },
         true},
        {"a collection nested a million deep (16 MB)",
         [](const std::string& uri) {
             return RawIpp(IPP_OP_GET_PRINTER_ATTRIBUTES, uri).Nested("media-col", 1000000).End();
         },
         false},
        {"'all' requested 1000 times (10 KB)",
         [&](const std::string& uri) { return repeated(uri, 1000, [](size_t) { return "all"; }); }, true},
        {"'all' requested 120000 times (1 MB)",
         [&](const std::string& uri) { return repeated(uri, 120000, [](size_t) { return "all"; }); }, true},
        {"70000 different attribute names (1 MB)",
         [&](const std::string& uri) {
             return repeated(uri, 70000, [](size_t i) { return "x-attribute-" + std::to_string(i); });
         },
         true},
    };
    for (const Case& c : cases) {
        const std::string body = c.make(printer);
        const double before = CpuMillis(server.Pid());
        const Reply reply = Post(server.Port(), "/ipp/print/labels", body);
        const double cost = CpuMillis(server.Pid()) - before;
        ASSERT_TRUE(server.Alive()) << c.name << " killed the server";
        EXPECT_NE(0, reply.http) << c.name << ": no answer";
        if (c.costBounded) {
            EXPECT_LT(cost, kCpuBudgetMs) << c.name << " (" << body.size() << " bytes) cost " << cost << " ms of CPU";
        }
        // Still answering ordinary requests.
        const Reply ordinary =
            Post(server.Port(), "/ipp/print/labels", RawIpp(IPP_OP_GET_PRINTER_ATTRIBUTES, printer).End());
        EXPECT_EQ(200, ordinary.http) << "after " << c.name;
        EXPECT_EQ(0, ordinary.ipp) << "after " << c.name;
    }
}

}  // namespace
}  // namespace testing_support
