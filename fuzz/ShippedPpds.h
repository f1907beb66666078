#pragma once

#include <string>
#include <vector>

// The PPDs the build compiles from drv/quorvant.drv, read from its ppd
// directory once per process in the driver table's order, so
// that an input naming the n-th PPD always means the same one. A listed PPD
// that cannot be read aborts: it would otherwise shift every later index.
namespace ShippedPpds {

struct Option {
    std::string keyword;
    std::vector<std::string> choices;
};

struct Ppd {
    std::string name;  // "qvescpos.ppd"
    std::string path;
    std::string text;
    int model = 0;
    std::vector<Option> options;  // in keyword order, as CUPS lists them
};

// Empty when the build compiled no PPDs (no ppdc).
const std::vector<Ppd>& All();

}  // namespace ShippedPpds
