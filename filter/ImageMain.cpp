#include "filter/ImageChain.h"
#include "filter/LeakSuppressions.h"

int main(int argc, char** argv) { return ImageChain::Run(argc, argv); }
