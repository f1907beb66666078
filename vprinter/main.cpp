#include <cstdio>

#include "vprinter/CVirtualPrinterTool.h"

int main(int argc, char** argv) {
    CVirtualPrinterTool tool(stdout, stderr);
    return tool.Run(argc, argv);
}
