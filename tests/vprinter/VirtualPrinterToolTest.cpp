#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <thread>

#include "preview/PreviewLanguages.h"
#include "preview/PreviewTestSupport.h"
#include "support/ChildCommand.h"

using namespace testing_support;

namespace {

// The program's answer to a command line: its standard output and status.
std::string RunTool(const std::string& args, int* status) {
    const std::string command = std::string(QUORVANT_VPRINTER_BIN) + " " + args + " 2>&1";
    std::FILE* pipe = popen(command.c_str(), "r");
    std::string out;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe))
        out += buffer;
    const int raw = pclose(pipe);
    *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128;
    return out;
}

TEST(VirtualPrinterTool, PrintsAJobIntoPngsAndTheLogAndTakesControlLines) {
    TempDir dir;
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    const ChildCommand command(QUORVANT_VPRINTER_BIN,
                               {"--lang", "tspl", "--port", "0", "--out", dir.path(), "--control", dir.File("ctl")});
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1);
        command.Exec();
    }
    close(out[1]);
    std::FILE* lines = fdopen(out[0], "r");
    char first[256] = "";
    ASSERT_TRUE(std::fgets(first, sizeof first, lines));
    const std::string where = first;
    const size_t colon = where.rfind(':');
    ASSERT_NE(where.find("tspl printer at socket://127.0.0.1:"), std::string::npos) << where;
    const std::string port = where.substr(colon + 1, where.size() - colon - 2);

    // The same stream through a shell's loopback client.
    const std::string label = "SIZE 2 mm,1 mm\r\nCLS\r\nBITMAP 0,0,1,2,1,\x0F\xF0\r\nPRINT 1,1\r\n";
    WriteFile(dir.File("job"), label + label);
    int status = -1;
    RunTool("control " + dir.File("ctl") + " 'set cover-open'", &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(RunTool("control " + dir.File("ctl") + " state", &status), "cover-open\n");
    EXPECT_EQ(
        0, std::system(("bash -c 'exec 3<>/dev/tcp/127.0.0.1/" + port + "; cat " + dir.File("job") + " >&3'").c_str()));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(RunTool("control " + dir.File("ctl") + " printed", &status), "0\n");  // the cover is open
    RunTool("control " + dir.File("ctl") + " 'clear cover-open'", &status);
    std::string printed;
    WaitUntil([&] { return (printed = RunTool("control " + dir.File("ctl") + " printed", &status)) == "2\n"; });
    EXPECT_EQ(printed, "2\n");
    EXPECT_EQ(RunTool("control " + dir.File("ctl") + " 'set no-such'", &status),
              "error: unknown condition \"no-such\"\n");
    EXPECT_EQ(status, 1);

    std::ifstream log(dir.File("printed.log"));
    std::string line;
    std::getline(log, line);
    EXPECT_EQ(line, "job 1, page 1: 8 x 2 dots, 8 black dots; label 2 mm x 1 mm, print 1 set of 1 copy");
    const PreviewRun preview = RunPreview("--png " + dir.File("p"), ToBytes(label));
    ASSERT_EQ(preview.status, 0) << preview.err;
    EXPECT_EQ(DiffBytes(ReadFile(dir.File("p-1.png")), ReadFile(dir.File("job0001-page002.png"))), "");

    kill(pid, SIGTERM);
    int raw = 0;
    waitpid(pid, &raw, 0);
    EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0);
    std::fclose(lines);
}

TEST(VirtualPrinterTool, UsageErrorsExitTwoAndNameTheLanguages) {
    int status = -1;
    const std::string unknown = RunTool("--lang postscript", &status);
    EXPECT_EQ(status, 2);
    for (const std::string& name : PreviewLanguages::Names())
        EXPECT_NE(unknown.find(name), std::string::npos) << unknown;
    EXPECT_NE(RunTool("--buffer 0", &status).find("Usage:"), std::string::npos);
    EXPECT_EQ(status, 2);
    // The query is looked up in the language named after it.
    EXPECT_NE(RunTool("--ignore-query 'ESC x' --lang cpcl", &status).find("queries: ESC h, ESC i"), std::string::npos);
    EXPECT_EQ(status, 2);
}

}  // namespace
