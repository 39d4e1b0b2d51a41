// The EDID creator: loading any image ("Open EDID"), a brand-new EDID on any day, "Copy to
// EDID Creator", then any sequence of a user's changes to its controls, each of which runs
// the control's rule on the hex table.
//
// Input: a source byte (bits 0-1: 0 open as given, 1 open made valid, 2 brand new, 3 copy
// from the analyzer), 256 image bytes (short inputs padded with 0xFF, as a file), three date
// bytes (used by a brand-new EDID), then changes:
//   control(2 bytes, high first)  kind  length  text[length]
// kind % 3: 0 check or uncheck (bit 7), 1 type the text, 2 choose item (signed) kind >> 2.
// Then the build ("Save EDID"): an image it makes has block 1's checksum right, a detailed
// timing offset inside block 1, and data blocks that stay before it.
// The same script runs on two fresh creators, which must end with the same image, controls
// and build: nothing may depend on memory a load or a rule left uninitialised.

#include "FuzzQt.h"
#include "FuzzSupport.h"

#include "creator/CreatorModel.h"
#include "creator/EdidWorkImage.h"
#include "edid/EdidDecoder.h"
#include "edid/EdidFile.h"

#include <cstring>

using namespace lvx;
using lvx::fuzz::ByteReader;

namespace {

EdidImage MadeValid(EdidImage image) {
    static constexpr std::uint8_t kHeader[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    std::memcpy(image.data(), kHeader, sizeof kHeader);
    image[kEdidExtensionCountOffset] &= 0x01;
    image[kEdidChecksum0Offset] = BlockChecksum(image, 0);
    image[kEdidChecksum1Offset] = BlockChecksum(image, 1);
    return image;
}

bool SameDay(int year, int month, int day) {
    static constexpr int kDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return day <= (month == 2 && !leap ? 28 : kDays[month - 1]);
}

struct Script {
    std::uint8_t source = 0;
    EdidImage image{};
    CalendarDate date;
    struct Change {
        int id = 0;
        std::uint8_t kind = 0;
        std::string text;
    };
    std::vector<Change> changes;
};

Script Read(const std::uint8_t* data, std::size_t size) {
    ByteReader in(data, size);
    Script script;
    script.source = in.byte() & 0x03;
    const std::vector<std::uint8_t> image = in.bytes(kEdidSize);
    script.image = ImageFromFileBytes(image.data(), image.size());
    // Any real day from 1970 to 2225: the clock is the machine's.
    const int year = 1970 + in.byte();
    const int month = 1 + in.byte() % 12;
    int day = 1 + in.byte() % 31;
    while (!SameDay(year, month, day)) {
        --day;
    }
    script.date = {year, month, day};
    while (!in.empty()) {
        Script::Change change;
        change.id = in.u16() % CreatorModel::controlCount();
        change.kind = in.byte();
        change.text = in.text(in.byte());
        script.changes.push_back(std::move(change));
    }
    return script;
}

struct Outcome {
    EdidImage shown{};
    std::uint16_t status = 0;
    std::vector<ControlState> controls;
    bool built = false;
    std::string error;
    EdidImage image{};
};

// What a built image must hold whatever the controls said.
void CheckBuilt(const EdidImage& image) {
    if (image[kEdidExtensionCountOffset] == 0) {
        return; // "DVI": no block 1 is announced
    }
    LVX_FUZZ_CHECK(BlockSum(image, 1) == 0);
    const std::size_t d = image[130];
    LVX_FUZZ_CHECK(d == 0 || (d >= 4 && d <= 127));
    // The data blocks from byte 132 on end at the timing offset, never past it.
    const std::size_t end = d == 0 ? 127 : 128 + d;
    std::size_t at = 132;
    while (at < end) {
        at += 1 + (image[at] & 0x1F);
    }
    LVX_FUZZ_CHECK(d == 0 || at == end);
}

Outcome Run(const Script& script) {
    EdidWorkImage hex;
    CreatorModel model(hex);
    const CalendarDate date = script.date;
    model.setClock([date] { return date; });
    switch (script.source) {
    case 0:
        model.openImage(script.image);
        break;
    case 1:
        model.openImage(MadeValid(script.image));
        break;
    case 2:
        model.brandNew();
        LVX_FUZZ_CHECK(model.record().image[16] >= 1 && model.record().image[16] <= 53);
        break;
    default: {
        EdidRecord analysed;
        Decode(analysed, MadeValid(script.image));
        LVX_FUZZ_CHECK(model.copyFrom(analysed));
        break;
    }
    }
    for (const Script::Change& change : script.changes) {
        switch (change.kind % 3) {
        case 0:
            model.setChecked(change.id, (change.kind & 0x80) != 0);
            break;
        case 1:
            model.setText(change.id, change.text);
            break;
        default:
            model.setIndex(change.id, static_cast<std::int8_t>(change.kind) >> 2);
            break;
        }
        LVX_FUZZ_CHECK(hex.freedCount() <= 255);
    }
    Outcome outcome;
    outcome.shown = hex.bytes();
    const BuildResult built = model.build();
    outcome.built = built.ok;
    outcome.error = built.error;
    outcome.image = built.image;
    if (built.ok) {
        CheckBuilt(built.image);
    }
    outcome.status = model.record().status;
    for (int id = 0; id < CreatorModel::controlCount(); ++id) {
        outcome.controls.push_back(model.state(id));
    }
    return outcome;
}

bool Same(const ControlState& a, const ControlState& b) {
    return a.checked == b.checked && a.text == b.text && a.index == b.index &&
           a.enabled == b.enabled && a.colour == b.colour && a.height == b.height;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::EnsureApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Script script = Read(data, size);
    const Outcome first = Run(script);
    const Outcome second = Run(script);
    LVX_FUZZ_CHECK(first.shown == second.shown);
    LVX_FUZZ_CHECK(first.status == second.status);
    LVX_FUZZ_CHECK(first.built == second.built && first.error == second.error);
    LVX_FUZZ_CHECK(!first.built || first.image == second.image);
    for (std::size_t id = 0; id < first.controls.size(); ++id) {
        LVX_FUZZ_CHECK(Same(first.controls[id], second.controls[id]));
    }
    return 0;
}
