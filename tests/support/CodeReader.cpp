#include "support/CodeReader.h"

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

}  // namespace testing_support
