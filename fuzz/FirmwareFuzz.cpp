// A firmware file as the program reads it: the header at offset 512 (version, vendor and
// product IDs within their fields), the blocks both loaders take with their page sums and
// addresses, and the device's "$CHK" answer however it arrives.
//
// Input: the file's bytes; the last input byte also picks the receive buffer the page check
// reads (the input's tail, as text).

#include "FuzzSupport.h"

#include "system/FirmwareImage.h"

#include <string_view>

using namespace lvx;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (const std::optional<FirmwareHeader> header = ParseFirmwareHeader(data, size)) {
        LVX_FUZZ_CHECK(header->version.size() <= 8);
        LVX_FUZZ_CHECK(header->vendorId.size() <= 4);
        LVX_FUZZ_CHECK(header->productId.size() <= 4);
        (void)FirmwareTargetLabel(*header);
    }

    const FirmwareImage image(std::vector<std::uint8_t>(data, data + size));
    for (const int kind : {1, 2}) {
        const std::size_t blockSize = LoaderBlockSize(kind);
        LVX_FUZZ_CHECK(blockSize == (kind == 1 ? kLoader1Block : kLoader2Block));
        const bool fits = FirmwareFitsLoader(kind, image.size());
        LVX_FUZZ_CHECK(kind == 2 || fits == (image.size() <= kLoader1MaxImage));
        std::uint16_t sum = 0;
        for (std::size_t address = 0; address < image.size() && address < 8 * kLoaderPage;
             address += blockSize) {
            const std::vector<std::uint8_t> block = image.block(address, blockSize);
            LVX_FUZZ_CHECK(block.size() == blockSize);
            for (std::size_t i = 0; i < blockSize; ++i) {
                LVX_FUZZ_CHECK(block[i] == image.at(address + i));
            }
            sum = AddToPageSum(sum, block);
            const std::vector<std::uint8_t> at =
                FirmwareAddressBytes(kind, static_cast<std::uint32_t>(address));
            LVX_FUZZ_CHECK(at.size() == (kind == 1 ? 2u : 4u));
            const int percent = ProgressPercent(address, image.size());
            LVX_FUZZ_CHECK(percent >= 0 && percent <= 100);
        }
        LVX_FUZZ_CHECK(PageSumText(sum).size() == 5);
    }

    const std::size_t tail = size > 0 ? data[size - 1] % 64 : 0;
    const std::string_view buffer(
        reinterpret_cast<const char*>(data) + (size - std::min(size, tail)), std::min(size, tail));
    const PageCheckAnswer check = ReadPageCheckAnswer(buffer);
    LVX_FUZZ_CHECK(check.sum.size() <= 5);
    if (check.state == PageCheckAnswer::State::None) {
        LVX_FUZZ_CHECK(buffer.find("$CHK") == std::string_view::npos);
    }
    (void)PageWarningLine(static_cast<std::uint32_t>(size), check.text);
    return 0;
}
