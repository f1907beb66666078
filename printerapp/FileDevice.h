#pragma once

// A "file:" device: print data appended to a path (a serial port such as a
// Bluetooth printer's, or a file capturing the output). "file:///dev/rfcomm0"
// and "file:/tmp/out.prn" both name a path.
namespace FileDevice {

// Registers the scheme where PAPPL's own devices do not take such URIs.
void Register();

}  // namespace FileDevice
