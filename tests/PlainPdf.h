#pragma once

// PDFs written as text, object by object, with their cross-reference table:
// files of any number of pages in the time it takes to write their bytes.

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace PlainPdf {

// A PDF file of `objects`, numbered from 1 (the first is the catalog).
inline std::string ofObjects(const std::vector<std::string>& objects)
{
    std::string pdf = "%PDF-1.4\n";
    std::vector<std::size_t> offsets;
    offsets.reserve(objects.size());
    for (std::size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const std::size_t xref = pdf.size();
    pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (std::size_t offset : offsets) {
        char line[24];
        std::snprintf(line, sizeof line, "%010zu 00000 n \n", offset);
        pdf += line;
    }
    pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
           std::to_string(xref) + "\n%%EOF\n";
    return pdf;
}

// `pages` letter pages under one flat page tree, each one line of Helvetica
// (`line(i)` for page i, from 0), the font shared by every page.
inline std::string oneLinePages(int pages, const std::function<std::string(int)>& line)
{
    std::vector<std::string> objects{"<< /Type /Catalog /Pages 2 0 R >>", "",
                                     "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"};
    objects.reserve(3 + 2 * static_cast<std::size_t>(pages));
    std::string kids;
    for (int p = 0; p < pages; ++p) {
        kids += std::to_string(4 + 2 * p) + " 0 R ";
        objects.push_back("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << /Font << /F1 3 0 R >> "
                          ">> /Contents " + std::to_string(5 + 2 * p) + " 0 R >>");
        const std::string content = "BT /F1 12 Tf 72 700 Td (" + line(p) + ") Tj ET";
        objects.push_back("<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "\nendstream");
    }
    objects[1] = "<< /Type /Pages /Count " + std::to_string(pages) + " /Kids [" + kids + "] >>";
    return ofObjects(objects);
}

} // namespace PlainPdf
