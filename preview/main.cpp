#include <cstdio>

#include "preview/CPreviewTool.h"

int main(int argc, char** argv) {
    CPreviewTool tool(stdout, stderr);
    return tool.Run(argc, argv);
}
