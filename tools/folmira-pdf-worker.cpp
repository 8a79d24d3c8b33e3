// The PDF reading worker: started by Folmira (PdfWorker), handed a document
// in a memory file; answers the reader's requests about its pages, and the
// page view's requests for tiles, until Folmira closes its end, or ends on a
// limit of CPU time or memory.

#include "FolmiraKit/PDF/PageReading.h"
#include "Platform/PdfWorkerPages.h"
#include "Platform/PdfWorkerTile.h"

#include <vector>

int main()
{
    const auto reading = FolmiraKit::PDFReader::workerRequests();
    std::vector<Platform::PdfWorkerRequest> handlers(reading.begin(), reading.end());
    handlers.push_back(Platform::PdfWorkerTile::handler);
    handlers.push_back(Platform::PdfWorkerPages::handler);
    return Platform::servePdfWorker(handlers);
}
