// The PDF reading worker: started by Folmira (PdfWorker), handed a document
// in a memory file; answers the reader's requests about its pages until
// Folmira closes its end, or ends on a limit of CPU time or memory.

#include "FolmiraKit/PDF/PageReading.h"

int main()
{
    return Platform::servePdfWorker(FolmiraKit::PDFReader::workerRequests());
}
