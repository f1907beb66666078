#pragma once

// quorvant-printer-app: PAPPL's main loop with this application's drivers
// and system. Returns the exit status.
namespace PrinterApp {

int Run(int argc, char* argv[]);

}  // namespace PrinterApp
