// The application's web pages in a real headless browser: the printers are
// listed, a default set on the printing-defaults page reaches the next
// job's output, and the printer page's button prints the test label.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <regex>
#include <thread>

#include "printerapp/AppServer.h"
#include "printerapp/TestLabelCheck.h"
#include "support/ChildCommand.h"

namespace testing_support {
namespace {

// Chromium driven over its DevTools protocol on a pipe: JSON messages ending
// in NUL, requests on descriptor 3, replies and events on descriptor 4.
class Browser {
public:
    Browser() {
        int toBrowser[2], fromBrowser[2];
        if (pipe(toBrowser) != 0 || pipe(fromBrowser) != 0)
            return;
        const ChildCommand command(
            "chromium", {"--headless=new", "--no-sandbox", "--disable-gpu", "--remote-debugging-pipe", "--no-first-run",
                         "--user-data-dir=" + m_dir.path(), "about:blank"});
        m_pid = fork();
        if (m_pid == 0) {
            dup2(toBrowser[0], 3);
            dup2(fromBrowser[1], 4);
            const int null = open("/dev/null", O_RDWR);
            dup2(null, 1);
            dup2(null, 2);
            command.Exec();
        }
        close(toBrowser[0]);
        close(fromBrowser[1]);
        m_out = toBrowser[1];
        m_in = fromBrowser[0];
    }
    ~Browser() {
        if (m_pid > 0) {
            close(m_out);
            close(m_in);
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
    }

    // Opens a page; false when the browser does not answer.
    bool Open(const std::string& url) {
        const std::string target = Call("Target.createTarget", "{\"url\":\"about:blank\"}", false);
        std::smatch m;
        if (!std::regex_search(target, m, std::regex("\"targetId\":\"([^\"]+)\"")))
            return false;
        const std::string attached =
            Call("Target.attachToTarget", "{\"targetId\":\"" + m[1].str() + "\",\"flatten\":true}", false);
        if (!std::regex_search(attached, m, std::regex("\"sessionId\":\"([^\"]+)\"")))
            return false;
        m_session = m[1].str();
        return Navigate(url);
    }

    bool Navigate(const std::string& url) {
        Call("Page.navigate", "{\"url\":\"" + url + "\"}");
        return WaitFor("location.href === '" + url + "' && document.readyState === 'complete'");
    }

    // The value of a JavaScript expression, as JSON text.
    std::string Evaluate(const std::string& expression) {
        std::string quoted;
        for (char c : expression)
            quoted += c == '"' || c == '\\' ? std::string("\\") + c : std::string(1, c);
        const std::string reply =
            Call("Runtime.evaluate", "{\"expression\":\"" + quoted + "\",\"returnByValue\":true}");
        const size_t at = reply.find("\"value\":");
        return at == std::string::npos ? reply : reply.substr(at + 8, reply.find("}", at) - at - 8);
    }

    bool WaitFor(const std::string& condition) {
        return WaitUntil([&] { return Evaluate("!!(" + condition + ")") == "true"; });
    }

private:
    // Sends a command and returns its reply, skipping the events between.
    std::string Call(const std::string& method, const std::string& params, bool inSession = true) {
        const int id = ++m_id;
        std::string message = "{\"id\":" + std::to_string(id) + ",\"method\":\"" + method + "\",\"params\":" + params;
        if (inSession)
            message += ",\"sessionId\":\"" + m_session + "\"";
        message += "}";
        message.push_back('\0');
        if (m_out < 0 || write(m_out, message.data(), message.size()) != static_cast<ssize_t>(message.size()))
            return "";
        const std::string key = "{\"id\":" + std::to_string(id) + ",";
        for (;;) {
            const size_t end = m_buffer.find('\0');
            if (end == std::string::npos) {
                char chunk[65536];
                const ssize_t n = read(m_in, chunk, sizeof chunk);
                if (n <= 0)
                    return "";
                m_buffer.append(chunk, static_cast<size_t>(n));
                continue;
            }
            std::string reply = m_buffer.substr(0, end);
            m_buffer.erase(0, end + 1);
            if (reply.rfind(key, 0) == 0)
                return reply;
        }
    }

    TempDir m_dir;
    pid_t m_pid = -1;
    int m_out = -1, m_in = -1, m_id = 0;
    std::string m_session, m_buffer;
};

// A server with a label printer, its pages driven by chromium.
class PrinterAppWeb : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveProgram("chromium"))
            GTEST_SKIP() << "chromium is not installed";
        // Without a login service the pages are open, as to a local administrator.
        if (!server.Start({"auth-service=none"}))
            GTEST_SKIP() << "the printer application cannot start here: " << server.Problem();
        std::string output;
        ASSERT_TRUE(server.AddFilePrinter("labels", "tspl_203dpi", output)) << output;
    }
    AppServer server;
};

TEST_F(PrinterAppWeb, PrintersListedAndDarknessDefaultReachesTheJob) {
    std::string output;
    ASSERT_TRUE(server.AddFilePrinter("receipts", "escpos_80mm", output)) << output;

    Browser browser;
    const std::string base = "http://localhost:" + std::to_string(server.Port());
    ASSERT_TRUE(browser.Open(base + "/")) << "chromium did not load the status page";
    const std::string home = browser.Evaluate("document.body.innerText");
    EXPECT_NE(std::string::npos, home.find("labels")) << home;
    EXPECT_NE(std::string::npos, home.find("receipts")) << home;
    EXPECT_NE(std::string::npos, home.find("Quorvant")) << home;

    ASSERT_TRUE(browser.Navigate(base + "/labels/printing"));
    EXPECT_EQ("true", browser.Evaluate("!!document.querySelector('select[name=halftoning]')"));
    browser.Evaluate(
        "document.querySelector('select[name=print-darkness]').value = '100';"
        "document.querySelector('#form input[type=submit]').click()");
    ASSERT_TRUE(
        browser.WaitFor("document.readyState === 'complete' && "
                        "document.querySelector('select[name=print-darkness]') && "
                        "document.querySelector('select[name=print-darkness]').value === '100'"))
        << browser.Evaluate("document.body.innerText");

    const std::string file = server.Dir().File("job.pwg");
    WriteFile(file, PwgGrayPage(400, 300, 203, 50, 50, 150, 150));
    ASSERT_EQ("completed", server.Print("labels", file));
    const auto pages = server.DecodeDevice("labels", "tspl");
    ASSERT_EQ(1u, pages.size());
    EXPECT_NE(std::string::npos, pages[0].SettingsText().find("density 15")) << pages[0].SettingsText();
}

TEST_F(PrinterAppWeb, PrintTestPageButtonPrintsTheTestLabel) {
    Browser browser;
    ASSERT_TRUE(browser.Open("http://localhost:" + std::to_string(server.Port()) + "/labels"));
    ASSERT_EQ("true", browser.Evaluate("!!document.querySelector('input[value=\\'Print Test Page\\']')"))
        << browser.Evaluate("document.body.innerText");
    browser.Evaluate("document.querySelector('input[value=\\'Print Test Page\\']').click()");
    ASSERT_TRUE(browser.WaitFor("document.body.innerText.includes('Test page printed.')"))
        << browser.Evaluate("document.body.innerText");

    const JobInfo job = server.WaitForLastJob("labels");
    ASSERT_EQ("completed", job.state) << job.message << "\n" << server.LogProblems();
    const auto pages = server.DecodeDevice("labels", "tspl");
    ASSERT_EQ(1u, pages.size());
    // 4 x 6 in at 203 dpi, dot for dot.
    ExpectLabel(pages[0], {812, 1218, false}, "driver=tspl_203dpi", "tspl_203dpi", server.Dir());
}

// The HTTP status of a GET of `path`, with Basic credentials when given.
http_status_t Get(int port, const std::string& path, const char* credentials = nullptr) {
    http_t* http = ConnectTo(port);
    if (!http)
        return HTTP_STATUS_ERROR;
    httpClearFields(http);
    if (credentials) {
        char encoded[256];
        httpEncode64_2(encoded, sizeof encoded, credentials, static_cast<int>(std::strlen(credentials)));
        httpSetField(http, HTTP_FIELD_AUTHORIZATION, (std::string("Basic ") + encoded).c_str());
    }
    http_status_t status = HTTP_STATUS_ERROR;
    if (httpGet(http, path.c_str()) == 0)
        while ((status = httpUpdate(http)) == HTTP_STATUS_CONTINUE) {
        }
    httpClose(http);
    return status;
}

// Administration needs a login by the admin group; printing needs none.
TEST(PrinterAppAccess, ChangesNeedALoginPrintingDoesNot) {
    AppServer server;
    if (!server.Start())
        GTEST_SKIP() << "the printer application cannot start here: " << server.Problem();
    std::string output;
    ASSERT_TRUE(server.AddFilePrinter("labels", "tspl_203dpi", output)) << output;

    http_t* http = ConnectTo(server.Port());
    ASSERT_NE(nullptr, http);
    ipp_t* request = ippNewRequest(IPP_OP_SET_PRINTER_ATTRIBUTES);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, server.PrinterUri("labels").c_str());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, "root");
    ippAddInteger(request, IPP_TAG_PRINTER, IPP_TAG_INTEGER, "print-darkness-default", 100);
    // No password callback: the request goes without credentials once.
    cupsSetPasswordCB2([](const char*, http_t*, const char*, const char*, void*) -> const char* { return nullptr; },
                       nullptr);
    ippDelete(cupsDoRequest(http, request, "/ipp/print/labels"));
    // libcups reports the 401 as a login it could not give.
    EXPECT_TRUE(cupsLastError() == IPP_STATUS_ERROR_NOT_AUTHENTICATED ||
                cupsLastError() == IPP_STATUS_ERROR_CUPS_AUTHENTICATION_CANCELED)
        << cupsLastErrorString();
    httpClose(http);

    EXPECT_EQ(HTTP_STATUS_UNAUTHORIZED, Get(server.Port(), "/labels/printing"));
    EXPECT_EQ(HTTP_STATUS_UNAUTHORIZED, Get(server.Port(), "/labels/printing", "root:not-the-password"));
    EXPECT_EQ(HTTP_STATUS_OK, Get(server.Port(), "/"));

    // Printing over IPP, not through the local control socket.
    if (HaveProgram("ipptool")) {
        const CommandResult printed = RunCommand("ipptool -t -f '" QUORVANT_SOURCE_DIR "/samples/sample-photo.jpg' " +
                                                 server.PrinterUri("labels") + " print-job.test");
        EXPECT_EQ(0, printed.status) << printed.out;
        EXPECT_EQ("completed", server.WaitForLastJob("labels").state);
    }
    // The darkness default is unchanged: the next job sends none.
    const std::string file = server.Dir().File("job.pwg");
    WriteFile(file, PwgGrayPage(400, 300, 203, 50, 50, 150, 150));
    ASSERT_EQ("completed", server.Print("labels", file)) << server.LogProblems();
    const Bytes printed = ReadFile(server.Dir().File("labels.prn"));
    EXPECT_EQ(std::string::npos, std::string(printed.begin(), printed.end()).find("DENSITY"));
}

}  // namespace
}  // namespace testing_support
