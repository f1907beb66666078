#pragma once

#include <string>

// The end of CUPS's chain for PNG and JPEG pictures on the project's PPDs
// (`quorvant-image`): cups-filters' imagetoraster scales the picture to the
// page as it always has, and the chain warns the job when the picture was
// shrunk below what fine bar codes need.
namespace ImageChain {

int Run(int argc, char** argv);

// The size imagetoraster states it prints the picture at, over all its
// pages, before the first: "DEBUG: xpages = 1x1.89in, ypages = 1x2.83in",
// inches along the picture's own width and height. The figures are rounded
// to 0.01 in: the least size they allow is taken, so that a shrink to 70.9 %
// never reads as 71 %. False for other lines.
bool PrintedInches(const std::string& line, double& x, double& y);

}  // namespace ImageChain
