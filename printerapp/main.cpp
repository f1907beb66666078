#include "printerapp/PrinterApp.h"

int main(int argc, char* argv[]) { return PrinterApp::Run(argc, argv); }
