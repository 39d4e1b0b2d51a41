// The controls' rules: the checks on what the user typed, the couplings between controls,
// the edits they write into the work image, and the timing presets.
#include "creator/CreatorIds.h"
#include "creator/CreatorModel.h"
#include "creator/CreatorPresets.h"
#include "creator/CreatorText.h"
#include "creator/EdidWorkImage.h"
#include "edid/TimingPresets.h"

#include <algorithm>

namespace lvx {

namespace {

constexpr const char* kHdrNeeds4k = "HDR Must Base On 4K!";

std::vector<std::uint8_t> BytesOf(const DetailedTiming& timing) {
    return {timing.begin(), timing.end()};
}

// A number field of the identification: where its bytes are (least significant first), the
// range it takes, the most characters it may have and the message beyond them. The bytes
// hold the value less `bias`.
struct NumberField {
    ControlRole role;
    int offset;
    int width;
    std::uint64_t min;
    std::uint64_t max;
    std::uint64_t bias;
    std::size_t minLength; // a shorter text is left alone: the user is still typing
    std::size_t maxLength;
    const char* message;
};

// Ten digits from 4294967296 up pass a look at the first five alone but do not fit the four
// bytes of the serial number: they are over the limit as well.
constexpr NumberField kNumberFields[] = {
    {ControlRole::ProductCode, 10, 2, 0, 65535, 0, 1, 0, "65535 Limited!"},
    {ControlRole::SerialNumber, 12, 4, 0, 0xFFFFFFFFu, 0, 1, 10, "4 Billion Limited!"},
    {ControlRole::Year, 17, 1, 1990, 2245, 1990, 4, 0, "1990~2245 Limited!"},
    {ControlRole::Week, 16, 1, 0, 53, 0, 1, 0, "53 Limited!"},
};

const NumberField& NumberFieldOf(ControlRole role) {
    for (const NumberField& field : kNumberFields) {
        if (field.role == role) {
            return field;
        }
    }
    return kNumberFields[0];
}

// The field's value as the bytes hold it.
std::uint64_t ValueAt(const EdidImage& image, const NumberField& field) {
    std::uint64_t value = 0;
    for (int k = field.width - 1; k >= 0; --k) {
        value = (value << 8) | image[static_cast<std::size_t>(field.offset + k)];
    }
    return value + field.bias;
}

} // namespace

// --- Rules -----------------------------------------------------------------------------------

void CreatorModel::runRule(int id) {
    const ControlDef& s = definition(id);
    switch (s.role) {
    case ControlRole::ManufacturerName:
        manufacturerRule(id);
        break;
    case ControlRole::MonitorName:
        monitorRule(id);
        break;
    case ControlRole::ProductCode:
    case ControlRole::SerialNumber:
    case ControlRole::Year:
    case ControlRole::Week:
        numberRule(id);
        break;
    case ControlRole::MaxChannels:
        maxChannelsRule(id);
        break;
    case ControlRole::Luminance:
        luminanceRule(id);
        break;
    case ControlRole::Established:
        establishedRule(id);
        break;
    case ControlRole::Standard:
        standardRule(id);
        break;
    case ControlRole::VicBox:
        if (s.arg >= 93) {
            fourKRule(id);
        } else {
            vicPreview(id);
        }
        break;
    case ControlRole::Yuv420Box:
        fourKRule(id);
        break;
    case ControlRole::HdrDepth:
        hdrDepthRule(id);
        break;
    case ControlRole::AudioFormat:
        audioFormatRule(id);
        break;
    case ControlRole::AudioDetail:
    case ControlRole::HdrDetail:
        detailRule(id);
        break;
    case ControlRole::Speaker:
    case ControlRole::SpeakerRight:
        speakerRule(id);
        break;
    default:
        // The CEC address is read only by the build; the other controls have no rule.
        break;
    }
}

void CreatorModel::violation(int id, const char* message) {
    setWarning(message);
    setColour(id, TextColour::Red);
    markError(id, message);
}

// The warning label speaks of the field just edited; the flag stays set while any other field
// is still out of its limits.
void CreatorModel::inRange(int id) {
    setWarning(std::string());
    setColour(id, TextColour::Black);
    clearError(id);
}

void CreatorModel::reportConversion(const std::string& text) {
    reportMessage("\"" + text + "\" is not a number.");
}

void CreatorModel::reportMessage(const std::string& message) {
    conversionError_ = message;
    conversionPending_ = true;
}

void CreatorModel::restoreReference(int offset, int count) {
    const EdidImage& reference = reference_.image;
    std::vector<std::uint8_t> bytes;
    for (int i = offset; i < offset + count && i < static_cast<int>(kEdidSize); ++i) {
        bytes.push_back(reference[static_cast<std::size_t>(i)]);
    }
    image_.writeBytes(offset, bytes, kCellWhite);
}

void CreatorModel::writeField(int offset, const std::vector<std::uint8_t>& bytes, bool over) {
    image_.writeBytes(offset, bytes, over ? kCellRed : kCellYellow);
}

void CreatorModel::manufacturerRule(int id) {
    const std::string& text = state(id).text;
    const bool over = text.size() >= 4;
    if (over) {
        violation(id, "3 Letters Limited!");
    } else {
        inRange(id);
    }
    if (!loaded()) {
        return;
    }
    if (text == FieldText(reference_.manufacturer)) {
        restoreReference(8, 2);
        return;
    }
    // Letter codes count from '@' (0); a letter the text does not have counts as 0.
    auto code = [&text](std::size_t i) {
        return i < text.size() ? static_cast<int>(static_cast<unsigned char>(text[i])) - 64 : 0;
    };
    const int first = code(0) * 4 + code(1) / 8;
    const int second = code(1) * 32 + code(2);
    writeField(8,
               {static_cast<std::uint8_t>(first & 0xFF), static_cast<std::uint8_t>(second & 0xFF)},
               over);
}

void CreatorModel::monitorRule(int id) {
    const std::string& text = state(id).text;
    const bool over = text.size() >= 14;
    if (over) {
        violation(id, "13 Letters Limited!");
    } else {
        inRange(id);
    }
    const EdidRecord& reference = reference_;
    // Without a name descriptor in the reference the name has no place to go.
    if (!loaded() || reference.monitorNameOffset == 0) {
        return;
    }
    const int at = reference.monitorNameOffset;
    if (text == FieldText(reference.monitorName)) {
        restoreReference(at, 13);
        return;
    }
    std::vector<std::uint8_t> bytes(text.begin(),
                                    text.begin() + std::min<std::size_t>(text.size(), 13));
    if (bytes.size() < 13) {
        bytes.push_back(0x0A);
    }
    bytes.resize(13, 0x20);
    writeField(at, bytes, over);
}

void CreatorModel::numberRule(int id) {
    const NumberField& field = NumberFieldOf(definition(id).role);
    const std::string& text = state(id).text;
    if (text.size() < field.minLength) {
        return;
    }
    const Digits value = ParseDigits(text);
    if (!value.ok) {
        reportConversion(text);
        return;
    }
    const bool over = (field.maxLength != 0 && text.size() > field.maxLength) || value.huge ||
                      value.value < field.min || value.value > field.max;
    if (over) {
        violation(id, field.message);
    } else {
        inRange(id);
    }
    if (!loaded()) {
        return;
    }
    if (!over && value.value == ValueAt(reference_.image, field)) {
        restoreReference(field.offset, field.width);
        return;
    }
    // The value less the bias, modulo 256 per byte: the unsigned difference wraps modulo 2^64,
    // a multiple of 256.
    const std::uint64_t stored = value.value - field.bias;
    std::vector<std::uint8_t> bytes;
    for (int k = 0; k < field.width; ++k) {
        bytes.push_back(static_cast<std::uint8_t>(stored >> (8 * k)));
    }
    writeField(field.offset, bytes, over);
}

void CreatorModel::maxChannelsRule(int id) {
    const std::string& text = state(id).text;
    if (text.empty() || text[0] < '0' || text[0] > '9') {
        reportConversion(text);
        return;
    }
    if (text[0] - '0' > 8 || text.size() > 1) {
        violation(id, "8 MaxCH Limited!");
    } else {
        inRange(id);
    }
}

void CreatorModel::luminanceRule(int id) {
    const std::string& text = state(id).text;
    const Digits value = ParseDigits(Trimmed(text));
    if (!value.ok) {
        reportConversion(text);
        return;
    }
    if (value.huge || value.value >= 256) {
        violation(id, "255 Limited!");
    } else {
        inRange(id);
    }
}

bool CreatorModel::any4K() const {
    for (std::size_t k = 0; k < kCreatorVics.size(); ++k) {
        if (kCreatorVics[k] >= 93 && states_[static_cast<std::size_t>(ids().vic[k])].checked) {
            return true;
        }
    }
    for (int id : ids().yuv420) {
        if (state(id).checked) {
            return true;
        }
    }
    return false;
}

bool CreatorModel::anyHdrDepth() const {
    for (int id : ids().hdr) {
        if (state(id).checked) {
            return true;
        }
    }
    return false;
}

void CreatorModel::fourKRule(int id) {
    const bool on = state(id).checked;
    if (!on && anyHdrDepth() && !any4K()) {
        setWarning(kHdrNeeds4k);
        for (int hdr : ids().hdr) {
            if (state(hdr).checked) {
                setColour(hdr, TextColour::Red);
                markError(hdr, kHdrNeeds4k);
            }
        }
        return; // the image is left as it is
    }
    if (on && anyHdrDepth()) {
        setWarning(std::string());
        for (int hdr : ids().hdr) {
            setColour(hdr, TextColour::Black);
            clearError(hdr);
        }
    }
    if (definition(id).role == ControlRole::VicBox) {
        vicPreview(id); // the 4:2:0 boxes never edit the image
    }
}

void CreatorModel::hdrDepthRule(int id) {
    if (state(id).checked && !any4K()) {
        violation(id, kHdrNeeds4k);
    } else {
        inRange(id);
    }
}

void CreatorModel::audioFormatRule(int id) {
    const int box = definition(id).arg;
    if (box == 1) {
        basicPreview(id);
        return;
    }
    if (box < 3 || state(id).checked) {
        return;
    }
    for (const Ids::Audio& audio : ids().audio) {
        if (audio.box == id && audio.detail >= 0) {
            assignChecked(audio.detail, false, false);
        }
    }
}

void CreatorModel::detailRule(int id) {
    const ControlDef& s = definition(id);
    if (s.panel >= 0) {
        const ControlDef& panel = definition(s.panel);
        setHeight(s.panel, state(id).checked ? panel.openHeight : panel.foldedHeight);
    }
}

void CreatorModel::speakerRule(int id) {
    const ControlDef& s = definition(id);
    const auto n = static_cast<std::size_t>(s.arg);
    const int other = s.role == ControlRole::Speaker ? ids().speakerRight[n] : ids().speaker[n];
    if (other >= 0) {
        assignChecked(other, state(id).checked, false);
    }
}

void CreatorModel::block0PresetRule() {
    if (!loaded()) {
        return;
    }
    const PresetReference reference = ReferenceOf(reference_);
    const int index = state(ids().block0Preset).index;
    const CellColour colour = index == reference.baseIndex ? kCellWhite : kCellYellow;
    image_.writeBytes(54, BytesOf(PresetDescriptor(index, reference.base)), colour);
    if (reference.rangeLimitOffset != 0) {
        if (const std::optional<std::uint8_t> clock = RangeLimitFor(index, reference)) {
            image_.writeBytes(reference.rangeLimitOffset, {*clock}, colour);
        }
    }
}

void CreatorModel::block1PresetRule() {
    if (!loaded()) {
        return;
    }
    const PresetReference reference = ReferenceOf(reference_);
    const int index = state(ids().block1Preset).index;
    const DetailedTiming bytes = PresetDescriptor(index, reference.extension);
    block1Choice_ = bytes;
    if (const std::optional<int> offset = Block1PresetOffset(image_.byteAt(130))) {
        image_.writeBytes(*offset, BytesOf(bytes),
                          index == reference.extensionIndex ? kCellWhite : kCellYellow);
    }
}

} // namespace lvx
