// The PDF reading worker: started by Folmira (PdfWorker) with the document in
// an inherited memory file; answers the reader's requests about its pages, and
// the page view's requests for tiles, until Folmira closes its end, or ends on
// a limit of CPU time or memory.

#include "FolmiraKit/PDF/PageReading.h"
#include "Platform/PdfWorkerTile.h"

#include <vector>

int main(int argc, char** argv)
{
    const auto reading = FolmiraKit::PDFReader::workerRequests();
    std::vector<Platform::PdfWorkerRequest> handlers(reading.begin(), reading.end());
    handlers.push_back(Platform::PdfWorkerTile::handler);
    return Platform::servePdfWorker(argc, argv, handlers);
}
