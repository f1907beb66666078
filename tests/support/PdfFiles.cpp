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

// Objects numbered from 1 in order, with their cross-reference table.
std::string WithXref(const std::vector<std::string>& objects) {
    std::string pdf = "%PDF-1.4\n";
    std::vector<size_t> offsets;
    for (const std::string& body : objects) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(offsets.size()) + " 0 obj\n" + body + "\nendobj\n";
    }
    const size_t xref = pdf.size();
    char entry[32];
    pdf += "xref\n0 " + std::to_string(offsets.size() + 1) + "\n0000000000 65535 f \n";
    for (size_t offset : offsets) {
        std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", offset);
        pdf += entry;
    }
    return pdf + "trailer\n<< /Size " + std::to_string(offsets.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
           std::to_string(xref) + "\n%%EOF\n";
}

std::string Stream(const std::string& dictionary, const std::string& data) {
    return "<< " + dictionary + " /Length " + std::to_string(data.size()) + " >>\nstream\n" + data + "\nendstream";
}

}  // namespace

std::string PdfDocument(int pages, double width, double height, const std::function<std::string(int page)>& content) {
    // 1 the catalog, 2 the page tree, then each page and its content.
    std::vector<std::string> objects = {"<< /Type /Catalog /Pages 2 0 R >>", ""};
    const std::string box = "[0 0 " + Number(width) + " " + Number(height) + "]";
    std::string kids;
    for (int i = 0; i < pages; i++) {
        const std::string data = content ? content(i) : std::string();
        const int self = static_cast<int>(objects.size()) + 1;
        kids += std::to_string(self) + " 0 R ";
        if (data.empty()) {
            objects.push_back("<< /Type /Page /Parent 2 0 R /MediaBox " + box + " >>");
            continue;
        }
        objects.push_back("<< /Type /Page /Parent 2 0 R /MediaBox " + box + " /Contents " + std::to_string(self + 1) +
                          " 0 R >>");
        objects.push_back(Stream("", data));
    }
    objects[1] = "<< /Type /Pages /Count " + std::to_string(pages) + " /Kids [" + kids + "] >>";
    return WithXref(objects);
}

std::string SlowPdf(int depth, int fanout) {
    // 3 the page, 4 its content, 5 on the forms, each the next one's user.
    std::vector<std::string> objects = {
        "<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Count 1 /Kids [3 0 R] >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 288 432] /Contents 4 0 R /Resources << /XObject << /F 5 0 R "
        ">> >> >>",
        Stream("", "/F Do")};
    std::string uses;
    for (int i = 0; i < fanout; i++)
        uses += "/F Do ";
    for (int level = 0; level < depth; level++) {
        const std::string form = "/Type /XObject /Subtype /Form /BBox [0 0 288 432]";
        if (level + 1 < depth)
            objects.push_back(
                Stream(form + " /Resources << /XObject << /F " + std::to_string(6 + level) + " 0 R >> >>", uses));
        else
            objects.push_back(Stream(form, "0 g 10 10 268 412 re f"));
    }
    return WithXref(objects);
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
