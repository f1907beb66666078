#include "filter/LeakSuppressions.h"
#include "filter/ZplChain.h"

int main(int argc, char** argv) { return ZplChain::Run(argc, argv); }
