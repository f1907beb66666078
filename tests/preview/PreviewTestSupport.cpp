#include "preview/PreviewTestSupport.h"

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace testing_support {

namespace {

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

PreviewRun RunPreview(const std::string& args, const Bytes& input) {
    TempDir dir;
    WriteFile(dir.File("in"), input);
    const std::string command = std::string(QUORVANT_PREVIEW_BIN) + " " + args + " < " + dir.File("in") + " > " +
                                dir.File("out") + " 2> " + dir.File("err");
    PreviewRun run;
    const int status = std::system(command.c_str());
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.out = Slurp(dir.File("out"));
    run.err = Slurp(dir.File("err"));
    return run;
}

}  // namespace testing_support
