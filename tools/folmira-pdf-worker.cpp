// The PDF reading worker: started by Folmira (PdfWorker) with the document in
// an inherited memory file; answers the reader's requests about its pages
// until Folmira closes its end, or ends on a limit of CPU time or memory.

#include "FolmiraKit/PDF/PageReading.h"

int main(int argc, char** argv)
{
    return Platform::servePdfWorker(argc, argv, FolmiraKit::PDFReader::workerRequests());
}
