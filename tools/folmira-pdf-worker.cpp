// The PDF reading worker: started by Folmira (PdfWorker), handed a document
// in a sealed memory file; answers the reader's requests about its pages, and
// the page view's requests for tiles, each in a child of its own under limits
// of CPU time and memory, until Folmira closes its end or is gone.

#include "FolmiraKit/PDF/PageReading.h"
#include "Platform/PdfWorkerTile.h"

#include <vector>

int main()
{
    const auto reading = FolmiraKit::PDFReader::workerRequests();
    std::vector<Platform::PdfWorkerRequest> handlers(reading.begin(), reading.end());
    handlers.push_back(Platform::PdfWorkerTile::handler);
    return Platform::servePdfWorker(handlers);
}
