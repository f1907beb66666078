#include "support/CodeReader.h"

#include <sstream>

#include "support/CupsSystem.h"

namespace testing_support {

std::string ReadCodes(const std::string& image, bool raw, bool& skipped) {
    skipped = !HaveProgram("zbarimg");
    if (skipped)
        return "";
    // Standard output only; without --nodbus it reports there that D-Bus is
    // missing.
    const std::string out = image + ".codes";
    RunCommand("zbarimg -q --nodbus " + std::string(raw ? "--raw " : "") + image + " >" + out + " 2>/dev/null");
    const Bytes codes = ReadFile(out);
    return std::string(codes.begin(), codes.end());
}

std::vector<std::string> ReadSymbol(const std::string& image, const std::string& format, bool& skipped) {
    static const bool readers = HaveProgram("zbarimg") && HaveProgram("ZXingReader") && HaveProgram("dmtxread");
    skipped = !readers;
    std::vector<std::string> texts;
    if (skipped)
        return texts;
    auto lines = [](const std::string& command) {
        std::vector<std::string> out;
        std::istringstream text(RunCommand(command + " 2>/dev/null").out);
        for (std::string line; std::getline(text, line);)
            out.push_back(line);
        return out;
    };
    for (const std::string& line : lines("zbarimg -q --nodbus --raw '" + image + "'"))
        texts.push_back(line);
    // "FILE Format \"text\"" a symbol, "FILE None" for none.
    for (const std::string& line : lines("ZXingReader -1 '" + image + "'")) {
        const size_t open = line.find('"'), close = line.rfind('"');
        if (open != std::string::npos && close > open)
            texts.push_back(line.substr(open + 1, close - open - 1));
    }
    if (format == "DataMatrix")
        for (const std::string& line : lines("dmtxread -m 2000 '" + image + "'"))
            texts.push_back(line);
    return texts;
}

}  // namespace testing_support
