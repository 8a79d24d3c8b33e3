// Our ZIP and ZIP64 reader: the directory, then every entry extracted.

#include "FolmiraKit/Word/ZipReader.h"
#include "fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FolmiraKit::ZipReader::ByteView archive(data, size);
    try {
        for (const auto& entry : FolmiraKit::ZipReader::entries(archive)) {
            try {
                FolmiraKit::ZipReader::extract(entry, archive);
            } catch (const FolmiraKit::ZipReader::Failure&) {
            }
        }
    } catch (const FolmiraKit::ZipReader::Failure&) {
    }
    return 0;
}
