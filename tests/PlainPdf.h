#pragma once

// PDFs written as text, object by object, with their cross-reference table:
// files of any number of pages in the time it takes to write their bytes.

#include <algorithm>
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

// The same under a balanced page tree whose nodes hold at most `fanOut` kids,
// as the writers of long documents make it: pages first, then the nodes,
// level by level up to the root.
inline std::string oneLinePagesInTree(int pages, int fanOut, const std::function<std::string(int)>& line)
{
    std::vector<std::string> objects{"<< /Type /Catalog /Pages 0 0 R >>",
                                     "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"};
    std::vector<int> level, parents(3 + 2 * static_cast<std::size_t>(pages), 0), counts;
    for (int p = 0; p < pages; ++p) {
        const std::string content = "BT /F1 12 Tf 72 700 Td (" + line(p) + ") Tj ET";
        objects.push_back(""); // the page, once its parent is known
        objects.push_back("<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "\nendstream");
        level.push_back(3 + 2 * p);
        counts.push_back(1);
    }
    do {
        std::vector<int> up, upCounts;
        for (std::size_t from = 0; from < level.size(); from += static_cast<std::size_t>(fanOut)) {
            const int node = static_cast<int>(objects.size()) + 1;
            std::string kids;
            int count = 0;
            for (std::size_t k = from; k < std::min(level.size(), from + static_cast<std::size_t>(fanOut)); ++k) {
                kids += std::to_string(level[k]) + " 0 R ";
                count += counts[k];
                if (static_cast<std::size_t>(level[k]) >= parents.size()) parents.resize(level[k] + 1, 0);
                parents[static_cast<std::size_t>(level[k])] = node;
            }
            objects.push_back("<< /Type /Pages /Count " + std::to_string(count) + " /Kids [" + kids + "] PARENT >>");
            up.push_back(node);
            upCounts.push_back(count);
        }
        level = up;
        counts = upCounts;
    } while (level.size() > 1);
    objects[0] = "<< /Type /Catalog /Pages " + std::to_string(level[0]) + " 0 R >>";
    for (std::size_t i = 2; i < objects.size(); ++i) {
        const int number = static_cast<int>(i) + 1;
        const int up = number < static_cast<int>(parents.size()) ? parents[static_cast<std::size_t>(number)] : 0;
        const std::string parent = up ? " /Parent " + std::to_string(up) + " 0 R" : "";
        if (objects[i].empty())
            objects[i] = "<< /Type /Page" + parent + " /MediaBox [0 0 612 792] /Resources << /Font << /F1 2 0 R >> >> "
                         "/Contents " + std::to_string(number + 1) + " 0 R >>";
        else if (const auto at = objects[i].find(" PARENT"); at != std::string::npos)
            objects[i].replace(at, 7, parent);
    }
    return ofObjects(objects);
}

} // namespace PlainPdf
