#pragma once

// The "file:" device, in place of PAPPL's own: "file:///PATH" names
// - a regular file (created if missing), to which every job is appended;
// - a directory, in which each job gets a file of its own named after the
//   job ("?ext=EXT" sets the extension, "prn" by default), as PAPPL's did;
// - a character device such as a Bluetooth serial port (/dev/rfcomm0) or a
//   USB printer node (/dev/usb/lp0);
// - a FIFO, opened when the job's first bytes are ready, once a reader is
//   there.
// A printer that takes no data for the write timeout fails the write with
// ETIMEDOUT, a cancelled job's write stops within a quarter of a second.
// Only a character device reads (the printer's replies to status queries);
// files and FIFOs have no way back.
namespace FileDevice {

// Registers the scheme (it replaces PAPPL's where PAPPL lets it).
void Register();

// Whether a printer at device URI `uri` may answer: any other scheme's, and
// a "file:" URI's only when it names a character device (opening a
// directory's device would make a job file).
bool Answers(const char* uri);

// Seconds a write to a printer that takes no data waits before it fails
// (0: for ever), for this device and, where PAPPL has write timeouts, for
// all of PAPPL's devices opened afterwards.
void SetWriteTimeout(int seconds);
int WriteTimeout();

}  // namespace FileDevice
