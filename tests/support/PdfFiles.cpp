#include "support/PdfFiles.h"

#include <cstdio>
#include <vector>

namespace testing_support {

namespace {

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", value);
    return text;
}

}  // namespace

std::string PdfDocument(int pages, double width, double height, const std::function<std::string(int page)>& content) {
    // Objects: 1 catalog, 2 page tree, then each page and its content.
    std::string pdf = "%PDF-1.4\n";
    std::vector<size_t> offsets;
    const auto object = [&](const std::string& body) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(offsets.size()) + " 0 obj\n" + body + "\nendobj\n";
    };
    object("<< /Type /Catalog /Pages 2 0 R >>");
    std::vector<std::string> streams;
    for (int i = 0; i < pages; i++)
        streams.push_back(content ? content(i) : std::string());
    std::string kids;
    int next = 3;
    for (int i = 0; i < pages; i++) {
        kids += std::to_string(next) + " 0 R ";
        next += streams[i].empty() ? 1 : 2;
    }
    object("<< /Type /Pages /Count " + std::to_string(pages) + " /Kids [" + kids + "] >>");
    const std::string box = "[0 0 " + Number(width) + " " + Number(height) + "]";
    for (int i = 0; i < pages; i++) {
        const int self = static_cast<int>(offsets.size()) + 1;
        if (streams[i].empty()) {
            object("<< /Type /Page /Parent 2 0 R /MediaBox " + box + " >>");
            continue;
        }
        object("<< /Type /Page /Parent 2 0 R /MediaBox " + box + " /Contents " + std::to_string(self + 1) + " 0 R >>");
        object("<< /Length " + std::to_string(streams[i].size()) + " >>\nstream\n" + streams[i] + "\nendstream");
    }
    const size_t xref = pdf.size();
    char entry[32];
    pdf += "xref\n0 " + std::to_string(offsets.size() + 1) + "\n0000000000 65535 f \n";
    for (size_t offset : offsets) {
        std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", offset);
        pdf += entry;
    }
    pdf += "trailer\n<< /Size " + std::to_string(offsets.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
           std::to_string(xref) + "\n%%EOF\n";
    return pdf;
}

std::string FrameContent(double width, double height, double inset, double line, double x, double y, double w,
                         double h) {
    const double half = inset + line / 2;
    std::string content = "0 g 0 G";
    // A line 0 wide would be the thinnest the device draws.
    if (line > 0)
        content += " " + Number(line) + " w " + Number(half) + " " + Number(half) + " " + Number(width - 2 * half) +
                   " " + Number(height - 2 * half) + " re S";
    if (w > 0)
        content += " " + Number(x) + " " + Number(height - y - h) + " " + Number(w) + " " + Number(h) + " re f";
    return content;
}

}  // namespace testing_support
