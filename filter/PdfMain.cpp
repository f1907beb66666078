#include "filter/LeakSuppressions.h"
#include "filter/PdfChain.h"

int main(int argc, char** argv) { return PdfChain::Run(argc, argv); }
