// What SG_IO hands back for an ATA PASS-THROUGH command: the SCSI, host and driver status
// and the sense data the driver wrote (descriptor or fixed format, any length up to the
// 64-byte buffer), from which the outcome and the returned registers are read.
//
// Input: SCSI status (1 byte), host status (2), driver status (2), then the sense bytes.
#include "fuzz_support.h"
#include "platform/linux/linux_smart_device.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace calventa;
    using namespace platform::linux_backend;
    constexpr size_t kSenseBuffer = 64; // what the back end hands the driver

    fuzz::Reader reader({data, size});
    SgIoOutcome outcome;
    outcome.scsiStatus = reader.Byte();
    outcome.hostStatus = reader.U16();
    outcome.driverStatus = reader.U16();
    // A copy of exactly the written bytes, so that a read past them is caught.
    const fuzz::Bytes written = reader.Take(kSenseBuffer);
    const std::vector<uint8_t> sense(written.begin(), written.end());
    outcome.sense = sense;

    const bool succeeded = AtaPassThroughSucceeded(outcome);
    if (succeeded && outcome.scsiStatus != 0) {
        FUZZ_CHECK(sense.size() >= 8); // a check condition counts as success only with its sense data
    }
    const std::optional<uint8_t> count = ReturnedSectorCount(sense);
    if (count) {
        FUZZ_CHECK(sense.size() >= 8);
    }
    // Every prefix of the sense data: what a shorter write would have left.
    for (size_t length = 0; length < sense.size(); ++length) {
        const std::vector<uint8_t> shorter(sense.begin(), sense.begin() + static_cast<std::ptrdiff_t>(length));
        (void)ReturnedSectorCount(shorter);
        SgIoOutcome cut = outcome;
        cut.sense = shorter;
        (void)AtaPassThroughSucceeded(cut);
    }
    return 0;
}
