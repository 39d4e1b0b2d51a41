#include "creator/CreatorModel.h"

#include "creator/BrandNewTemplate.h"
#include "creator/CreatorPresets.h"
#include "creator/HexTableModel.h"
#include "edid/CtaCodes.h"
#include "edid/EdidDecoder.h"
#include "edid/EdidValidation.h"
#include "edid/TimingPresets.h"

#include <QDate>

#include <cstdio>
#include <cstdlib>
#include <limits>

namespace lvx {

namespace {

constexpr const char* kHdrNeeds4k = "HDR Must Base On 4K!";

// A text of decimal digits only, its value modulo 2^64, and whether it is larger than that.
struct Digits {
    bool ok = false;
    std::uint64_t value = 0;
    bool huge = false;
};

Digits ParseDigits(std::string_view text) {
    Digits d;
    if (text.empty()) {
        return d;
    }
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    for (char c : text) {
        if (c < '0' || c > '9') {
            return {};
        }
        const unsigned digit = static_cast<unsigned>(c - '0');
        if (d.value > (kMax - digit) / 10) {
            d.huge = true;
        }
        d.value = d.value * 10 + digit; // wraps: the value modulo 2^64
    }
    d.ok = true;
    return d;
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    while (!text.empty() && text.back() == ' ') {
        text.remove_suffix(1);
    }
    return text;
}

std::string LuminanceText(unsigned value) {
    return std::string(value < 10 ? 4 : value < 100 ? 3 : 2, ' ') + std::to_string(value);
}

std::string BitRateText(unsigned value) {
    return std::string(value < 1000 ? 2 : 1, ' ') + std::to_string(value);
}

std::string HexPair(std::uint8_t a, std::uint8_t b) {
    char text[5];
    std::snprintf(text, sizeof text, "%02X%02X", a, b);
    return text;
}

bool Bit(std::uint32_t value, int bit) {
    return ((value >> bit) & 1u) != 0;
}

std::vector<std::uint8_t> BytesOf(const DetailedTiming& timing) {
    return {timing.begin(), timing.end()};
}

const ControlState& EmptyState() {
    static const ControlState empty;
    return empty;
}

} // namespace

// --- Control ids, resolved by name once --------------------------------------------------

struct CreatorModel::Ids {
    struct Audio {
        int maxCh = -1;
        int bitRate = -1;
        int detail = -1;
        int panel = -1;
        int box = -1;
        std::array<int, 7> freq{};
    };
    int manufacturer, monitor, product, serial, year, week, cec;
    std::array<int, 17> established;
    std::array<int, 5> standard;
    int block0Preset, block1Preset;
    std::array<int, kCreatorVics.size()> vic;
    std::array<int, kCreatorYuv420Vics.size()> yuv420;
    std::array<int, 10> audioFormat; // by box number 1-9
    std::array<Audio, kAudioFormatCount> audio;
    std::array<int, 3> sampleSize;
    std::array<int, 12> speaker;      // by number 1-11
    std::array<int, 12> speakerRight; // by number; -1 where there is no pair
    std::array<int, 3> colorSpace, colorDepth, hdr, eotf, luminance;
    std::array<int, 8> colorimetry;
    int hdrDescriptor, hdrDetail, present3d, dvi, hdmi, status, warning, writeButton;
};

const CreatorModel::Ids& CreatorModel::ids() {
    static const Ids ids = [] {
        auto need = [](std::string_view name) {
            const int id = CreatorControlId(name);
            if (id < 0) {
                std::fprintf(stderr, "creator: no control %.*s\n", static_cast<int>(name.size()),
                             name.data());
                std::abort();
            }
            return id;
        };
        auto family = [&](std::string_view prefix, int n) { return need(FamilyName(prefix, n)); };
        Ids i{};
        i.manufacturer = need(names::kManufacturer);
        i.monitor = need(names::kMonitor);
        i.product = need(names::kProduct);
        i.serial = need(names::kSerial);
        i.year = need(names::kYear);
        i.week = need(names::kWeek);
        i.cec = need(names::kCec);
        for (int n = 1; n <= 17; ++n) {
            i.established[n - 1] = family("CheckBox_EstablishTiming_", n);
        }
        for (int n = 1; n <= 5; ++n) {
            i.standard[n - 1] = family("CheckBox_StandardTiming_", n);
        }
        i.block0Preset = need(names::kBlock0Preset);
        i.block1Preset = need(names::kBlock1Preset);
        for (std::size_t k = 0; k < kCreatorVics.size(); ++k) {
            i.vic[k] = family("CheckBox_VideoIdCode_", kCreatorVics[k]);
        }
        for (std::size_t k = 0; k < kCreatorYuv420Vics.size(); ++k) {
            i.yuv420[k] = family("CheckBox_YUV420VDB_", kCreatorYuv420Vics[k]);
        }
        i.audioFormat.fill(-1);
        for (int n = 1; n <= 9; ++n) {
            i.audioFormat[static_cast<std::size_t>(n)] = family("CheckBox_AudioFormat_", n);
        }
        for (std::size_t f = 0; f < kAudioFormatCount; ++f) {
            const AudioFormatDef& a = AudioFormats()[f];
            const std::string key(a.key);
            Ids::Audio& audio = i.audio[f];
            audio.box = i.audioFormat[static_cast<std::size_t>(a.box)];
            audio.maxCh = need("Edit_Audio" + key + "_MaxCh");
            if (a.bitRate) {
                audio.bitRate = need("Edit_Audio" + key + "_BitRate");
            }
            if (f > 0) {
                audio.detail = need("CheckBox_AudDetial_" + key);
                audio.panel = need("Panel_Audio_" + key);
            }
            for (int n = 1; n <= 7; ++n) {
                audio.freq[static_cast<std::size_t>(n - 1)] =
                    family("CheckBox_Audio" + key + "_Freq_", n);
            }
        }
        for (int n = 1; n <= 3; ++n) {
            const auto k = static_cast<std::size_t>(n - 1);
            i.sampleSize[k] = family("CheckBox_AudioLPCM_SamBit_", n);
            i.colorSpace[k] = family("CheckBox_ColorSpace_", n);
            i.colorDepth[k] = family("CheckBox_ColorDepth_", n);
            i.hdr[k] = family("CheckBox_HDR_", n);
            i.eotf[k] = family("CheckBox_HDR_EOTF_", n);
            i.luminance[k] = family("Edit_HDR_DCLD_", n);
        }
        i.speaker.fill(-1);
        i.speakerRight.fill(-1);
        for (int n = 1; n <= 11; ++n) {
            const std::string name = FamilyName("CheckBox_SpeakerPosition_", n);
            i.speaker[static_cast<std::size_t>(n)] = need(name);
            i.speakerRight[static_cast<std::size_t>(n)] = CreatorControlId(name + "r");
        }
        for (int n = 1; n <= 8; ++n) {
            i.colorimetry[static_cast<std::size_t>(n - 1)] = family("CheckBox_Colorimetry_", n);
        }
        i.hdrDescriptor = need(names::kHdrDescriptor);
        i.hdrDetail = need(names::kHdrDetail);
        i.present3d = need(names::kPresent3d);
        i.dvi = need(names::kDvi);
        i.hdmi = need(names::kHdmi);
        i.status = need(names::kStatusLabel);
        i.warning = need(names::kWarningLabel);
        i.writeButton = need(names::kWriteButton);
        return i;
    }();
    return ids;
}

// --- Change reporting ----------------------------------------------------------------------

// Collects the controls changed by one public operation and reports them once it ends.
class CreatorModel::Scope {
public:
    explicit Scope(CreatorModel& model) : model_(model) { ++model_.depth_; }
    ~Scope() {
        if (--model_.depth_ > 0) {
            return;
        }
        if (!model_.changed_.isEmpty()) {
            QList<int> changed;
            changed.swap(model_.changed_);
            for (int id : changed) {
                model_.dirty_[static_cast<std::size_t>(id)] = 0;
            }
            emit model_.controlsChanged(changed);
        }
        if (model_.conversionPending_) {
            model_.conversionPending_ = false;
            emit model_.conversionError(QString::fromLatin1(model_.conversionError_.c_str()));
        }
    }
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

private:
    CreatorModel& model_;
};

CreatorModel::CreatorModel(HexTableModel& hexTable, QObject* parent)
    : QObject(parent), hex_(hexTable), clock_(&CreatorModel::today) {
    const std::vector<ControlDef>& defs = CreatorControls();
    states_.resize(defs.size());
    dirty_.assign(defs.size(), 0);
    for (std::size_t id = 0; id < defs.size(); ++id) {
        states_[id].text = defs[id].text;
        states_[id].height = defs[id].foldedHeight;
    }
    states_[static_cast<std::size_t>(ids().hdmi)].checked = true;
    states_[static_cast<std::size_t>(ids().warning)].colour = TextColour::Red;
}

CreatorModel::~CreatorModel() = default;

void CreatorModel::setClock(Clock clock) {
    clock_ = clock ? std::move(clock) : Clock(&CreatorModel::today);
}

CalendarDate CreatorModel::today() {
    const QDate date = QDate::currentDate();
    return {date.year(), date.month(), date.day()};
}

std::vector<std::string> CreatorModel::presetItems() {
    std::vector<std::string> items;
    for (const TimingPreset& preset : TimingPresets()) {
        items.emplace_back(preset.itemText);
    }
    return items;
}

const ControlState& CreatorModel::state(int id) const {
    if (id < 0 || id >= static_cast<int>(states_.size())) {
        return EmptyState();
    }
    return states_[static_cast<std::size_t>(id)];
}

ControlState& CreatorModel::mut(int id) {
    return states_[static_cast<std::size_t>(id)];
}

void CreatorModel::touch(int id) {
    char& dirty = dirty_[static_cast<std::size_t>(id)];
    if (!dirty) {
        dirty = 1;
        changed_.push_back(id);
    }
}

void CreatorModel::assignChecked(int id, bool on, bool force) {
    ControlState& s = mut(id);
    const bool changed = s.checked != on;
    if (changed) {
        s.checked = on;
        touch(id);
    }
    if (changed || force) {
        runRule(id);
    }
}

void CreatorModel::assignText(int id, std::string text, bool force) {
    ControlState& s = mut(id);
    const bool changed = s.text != text;
    if (changed) {
        s.text = std::move(text);
        touch(id);
    }
    if (changed || force) {
        runRule(id);
    }
}

void CreatorModel::assignIndex(int id, int index) {
    ControlState& s = mut(id);
    if (s.index != index) {
        s.index = index;
        touch(id);
    }
}

void CreatorModel::setColour(int id, TextColour colour) {
    ControlState& s = mut(id);
    if (s.colour != colour) {
        s.colour = colour;
        touch(id);
    }
}

void CreatorModel::setHeight(int id, int height) {
    ControlState& s = mut(id);
    if (s.height != height) {
        s.height = height;
        touch(id);
    }
}

void CreatorModel::setWarning(const std::string& text) {
    ControlState& s = mut(ids().warning);
    if (s.text != text) {
        s.text = text;
        touch(ids().warning);
    }
}

void CreatorModel::setFieldError(bool on) {
    if (on) {
        record_.status |= kStatusFieldError;
    } else {
        record_.status = static_cast<std::uint16_t>(record_.status & ~kStatusFieldError);
    }
}

// --- A user's changes ----------------------------------------------------------------------

bool CreatorModel::setChecked(int id, bool on) {
    if (id < 0 || id >= controlCount() || definition(id).hidden) {
        return false;
    }
    const Scope scope(*this);
    switch (definition(id).kind) {
    case ControlKind::CheckBox:
        assignChecked(id, on, false);
        return true;
    case ControlKind::RadioButton: {
        if (!on) {
            return false;
        }
        const int other = id == ids().dvi ? ids().hdmi : ids().dvi;
        assignChecked(other, false, false);
        assignChecked(id, true, false);
        return true;
    }
    default:
        return false;
    }
}

bool CreatorModel::setText(int id, const std::string& text) {
    if (id < 0 || id >= controlCount() || definition(id).kind != ControlKind::Edit) {
        return false;
    }
    const Scope scope(*this);
    std::string typed = text;
    if (definition(id).upperCase) {
        for (char& c : typed) {
            if (c >= 'a' && c <= 'z') {
                c = static_cast<char>(c - 'a' + 'A');
            }
        }
    }
    assignText(id, std::move(typed), false);
    return true;
}

bool CreatorModel::setIndex(int id, int index) {
    if (id < 0 || id >= controlCount() || definition(id).kind != ControlKind::ComboBox ||
        index < 0 || index >= static_cast<int>(TimingPresets().size())) {
        return false;
    }
    const Scope scope(*this);
    assignIndex(id, index);
    // A choice writes its preset even when it is the item already shown.
    if (id == ids().block0Preset) {
        block0PresetRule();
    } else {
        block1PresetRule();
    }
    return true;
}

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
        productRule(id);
        break;
    case ControlRole::SerialNumber:
        serialRule(id);
        break;
    case ControlRole::Year:
        yearRule(id);
        break;
    case ControlRole::Week:
        weekRule(id);
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
    setFieldError(true);
}

void CreatorModel::inRange(int id) {
    setWarning(std::string());
    setColour(id, TextColour::Black);
    setFieldError(false);
}

void CreatorModel::reportConversion(const std::string& text) {
    reportMessage("\"" + text + "\" is not a number.");
}

void CreatorModel::reportMessage(const std::string& message) {
    conversionError_ = message;
    conversionPending_ = true;
}

void CreatorModel::restoreReference(int offset, int count) {
    const EdidImage& reference = hex_.referenceRecord().image;
    std::vector<std::uint8_t> bytes;
    for (int i = offset; i < offset + count && i < static_cast<int>(kEdidSize); ++i) {
        bytes.push_back(reference[static_cast<std::size_t>(i)]);
    }
    hex_.writeBytes(offset, bytes, kCellWhite);
}

void CreatorModel::writeField(int offset, const std::vector<std::uint8_t>& bytes, bool over) {
    hex_.writeBytes(offset, bytes, over ? kCellRed : kCellYellow);
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
    if (text == FieldText(hex_.referenceRecord().manufacturer)) {
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
    const EdidRecord& reference = hex_.referenceRecord();
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

void CreatorModel::productRule(int id) {
    const std::string& text = state(id).text;
    if (text.empty()) {
        return;
    }
    const Digits value = ParseDigits(text);
    if (!value.ok) {
        reportConversion(text);
        return;
    }
    const bool over = value.huge || value.value >= 65536;
    if (over) {
        violation(id, "65535 Limited!");
    } else {
        inRange(id);
    }
    if (!loaded()) {
        return;
    }
    if (!over && value.value == hex_.referenceRecord().productCode) {
        restoreReference(10, 2);
        return;
    }
    writeField(
        10, {static_cast<std::uint8_t>(value.value), static_cast<std::uint8_t>(value.value >> 8)},
        over);
}

void CreatorModel::serialRule(int id) {
    const std::string& text = state(id).text;
    if (text.empty()) {
        return;
    }
    const Digits value = ParseDigits(text);
    if (!value.ok) {
        reportConversion(text);
        return;
    }
    // Ten digits from 4294967296 up pass a look at the first five alone but do not fit the
    // four bytes: they are over the limit as well.
    const bool over = text.size() > 10 || value.huge || value.value > 0xFFFFFFFFu;
    if (over) {
        violation(id, "4 Billion Limited!");
    } else {
        inRange(id);
    }
    if (!loaded()) {
        return;
    }
    if (!over && value.value == hex_.referenceRecord().serialNumber) {
        restoreReference(12, 4);
        return;
    }
    writeField(12,
               {static_cast<std::uint8_t>(value.value), static_cast<std::uint8_t>(value.value >> 8),
                static_cast<std::uint8_t>(value.value >> 16),
                static_cast<std::uint8_t>(value.value >> 24)},
               over);
}

void CreatorModel::yearRule(int id) {
    const std::string& text = state(id).text;
    if (text.size() < 4) {
        return;
    }
    const Digits value = ParseDigits(text);
    if (!value.ok) {
        reportConversion(text);
        return;
    }
    const bool over = value.huge || value.value < 1990 || value.value > 2245;
    if (over) {
        violation(id, "1990~2245 Limited!");
    } else {
        inRange(id);
    }
    if (!loaded()) {
        return;
    }
    if (!over && value.value == hex_.referenceRecord().image[17] + 1990u) {
        restoreReference(17, 1);
        return;
    }
    // (value - 1990) modulo 256; the unsigned difference wraps modulo 2^64, a multiple of 256.
    writeField(17, {static_cast<std::uint8_t>(value.value - 1990)}, over);
}

void CreatorModel::weekRule(int id) {
    const std::string& text = state(id).text;
    if (text.empty()) {
        return;
    }
    const Digits value = ParseDigits(text);
    if (!value.ok) {
        reportConversion(text);
        return;
    }
    const bool over = value.huge || value.value >= 54;
    if (over) {
        violation(id, "53 Limited!");
    } else {
        inRange(id);
    }
    if (!loaded()) {
        return;
    }
    if (!over && value.value == hex_.referenceRecord().image[16]) {
        restoreReference(16, 1);
        return;
    }
    writeField(16, {static_cast<std::uint8_t>(value.value)}, over);
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
        setFieldError(true);
        for (int hdr : ids().hdr) {
            if (state(hdr).checked) {
                setColour(hdr, TextColour::Red);
            }
        }
        return; // the image is left as it is
    }
    if (on && anyHdrDepth()) {
        setWarning(std::string());
        setFieldError(false);
        for (int hdr : ids().hdr) {
            setColour(hdr, TextColour::Black);
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
    const PresetReference reference = ReferenceOf(hex_.referenceRecord());
    const int index = state(ids().block0Preset).index;
    const CellColour colour = index == reference.baseIndex ? kCellWhite : kCellYellow;
    hex_.writeBytes(54, BytesOf(PresetDescriptor(index, reference.base)), colour);
    if (reference.rangeLimitOffset != 0) {
        if (const std::optional<std::uint8_t> clock = RangeLimitFor(index, reference)) {
            hex_.writeBytes(reference.rangeLimitOffset, {*clock}, colour);
        }
    }
}

void CreatorModel::block1PresetRule() {
    if (!loaded()) {
        return;
    }
    const PresetReference reference = ReferenceOf(hex_.referenceRecord());
    const int index = state(ids().block1Preset).index;
    const DetailedTiming bytes = PresetDescriptor(index, reference.extension);
    block1Choice_ = bytes;
    if (const std::optional<int> offset = Block1PresetOffset(hex_.byteAt(130))) {
        hex_.writeBytes(*offset, BytesOf(bytes),
                        index == reference.extensionIndex ? kCellWhite : kCellYellow);
    }
}

// --- Rules that edit block 0's timing bits and preview block 1's data blocks ---------------

void CreatorModel::establishedRule(int id) {
    if (!loaded()) {
        return;
    }
    const int n = definition(id).arg;
    const int offset = n <= 8 ? 35 : n <= 16 ? 36 : 37;
    const int bit = n <= 16 ? 7 - (n - 1) % 8 : 7;
    std::uint8_t byte = hex_.byteAt(offset);
    if (state(id).checked) {
        byte = static_cast<std::uint8_t>(byte | (1u << bit));
    } else {
        byte = static_cast<std::uint8_t>(byte & ~(1u << bit));
    }
    const bool same = byte == hex_.referenceRecord().image[static_cast<std::size_t>(offset)];
    hex_.writeBytes(offset, {byte}, same ? kCellWhite : kCellYellow);
}

void CreatorModel::standardRule(int id) {
    if (!loaded()) {
        return;
    }
    const std::uint16_t word =
        StandardTimings()[static_cast<std::size_t>(definition(id).arg - 1)].word;
    const EdidImage& reference = hex_.referenceRecord().image;
    auto wordAt = [](auto byteAt, int slot) {
        return static_cast<std::uint16_t>((byteAt(38 + 2 * slot) << 8) | byteAt(39 + 2 * slot));
    };
    auto current = [this](int offset) { return hex_.byteAt(offset); };
    auto loadedByte = [&reference](int offset) {
        return reference[static_cast<std::size_t>(offset)];
    };
    int c = -1;
    int r = -1;
    int freeSlot = -1;
    for (int slot = 7; slot >= 0; --slot) {
        const std::uint16_t now = wordAt(current, slot);
        if (now == word) {
            c = slot;
        }
        if (wordAt(loadedByte, slot) == word) {
            r = slot;
        }
        if (now == 0x0000 || now == 0x0101) {
            freeSlot = slot;
        }
    }
    auto write = [this](int slot, std::uint16_t value, CellColour colour) {
        hex_.writeBytes(38 + 2 * slot,
                        {static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)},
                        colour);
    };
    if (state(id).checked) {
        if (r >= 0) {
            write(r, word, kCellWhite);
        } else if (freeSlot >= 0) {
            write(freeSlot, word, kCellYellow);
        }
    } else if (r >= 0) {
        write(r, 0x0101, kCellYellow);
    } else if (c >= 0) {
        write(c, 0x0101, kCellWhite);
    }
}

std::optional<std::pair<int, int>> CreatorModel::firstBlock(std::uint8_t tag) const {
    const EdidImage image = hex_.image();
    std::size_t position = kFirstDataBlock;
    if (!FindDataBlock(image, tag, position)) {
        return std::nullopt;
    }
    return std::pair<int, int>{static_cast<int>(position), image[position] & 0x1F};
}

void CreatorModel::vicPreview(int id) {
    if (!loaded()) {
        return;
    }
    const auto block = firstBlock(kTagVideo);
    const int d = hex_.byteAt(130);
    if (!block) {
        return;
    }
    const auto [h, length] = *block;
    const auto vic = static_cast<std::uint8_t>(definition(id).arg);
    // The last byte of the block that names this VIC (native flag aside).
    int found = -1;
    for (int j = 0; j < length && h + 1 + j < 255; ++j) {
        const std::uint8_t v = hex_.byteAt(h + 1 + j);
        if (SvdVic(v) == vic) {
            found = j;
        }
    }
    if (state(id).checked) {
        // A VIC the block holds already is not put in twice; a full block (31 VICs) or a DTD
        // offset at its end cannot grow.
        if (found >= 0 || length >= 31 || d >= 255) {
            return;
        }
        const auto& loadedList = hex_.referenceRecord().svd;
        const auto k = std::find(loadedList.begin(), loadedList.end(), vic) - loadedList.begin();
        const int at = k < static_cast<long>(loadedList.size()) && k < length
                           ? h + 1 + static_cast<int>(k)
                           : h + 1 + length;
        hex_.insertGap(at, 1);
        hex_.writeBytes(h, {static_cast<std::uint8_t>(0x40 + length + 1)}, kCellYellow);
        hex_.colourRange(h, length + 2, kCellYellow);
        hex_.writeBytes(at, {vic}, kCellOrange);
        hex_.writeBytes(130, {static_cast<std::uint8_t>(d + 1)}, kCellYellow);
        return;
    }
    if (found < 0 || d == 0) {
        return; // checked for an HDMI VIC only: the block does not hold it
    }
    hex_.deleteBytes(h + 1 + found + 1, 1);
    hex_.writeBytes(h, {static_cast<std::uint8_t>(0x40 + length - 1)}, kCellYellow);
    hex_.colourRange(h, length, kCellYellow);
    hex_.writeBytes(130, {static_cast<std::uint8_t>(d - 1)}, kCellYellow);
}

void CreatorModel::basicPreview(int id) {
    if (!loaded()) {
        return;
    }
    const auto block = firstBlock(kTagAudio);
    const int d = hex_.byteAt(130);
    if (!block) {
        return;
    }
    const auto [h, length] = *block;
    if (state(id).checked) {
        if (length + 3 > 31 || d + 3 > 255) {
            return; // the block cannot take three more bytes
        }
        std::uint8_t frequencies = 0;
        for (int n = 0; n < 7; ++n) {
            if (state(ids().audio[0].freq[static_cast<std::size_t>(n)]).checked) {
                frequencies |= static_cast<std::uint8_t>(0x40 >> n);
            }
        }
        std::uint8_t sizes = 0;
        for (int n = 0; n < 3; ++n) {
            if (state(ids().sampleSize[static_cast<std::size_t>(n)]).checked) {
                sizes |= static_cast<std::uint8_t>(0x04 >> n);
            }
        }
        hex_.insertGap(h + 1, 3);
        hex_.writeBytes(h, {static_cast<std::uint8_t>(0x20 + length + 3)}, kCellYellow);
        hex_.writeBytes(h + 1, {0x09, frequencies, sizes}, kCellYellow);
        hex_.writeBytes(130, {static_cast<std::uint8_t>(d + 3)}, kCellYellow);
        return;
    }
    // The descriptor the build removes too: the first whose first byte is 0x09.
    int found = -1;
    for (int k = 0; 3 * k + 3 <= length && found < 0; ++k) {
        if (hex_.byteAt(h + 1 + 3 * k) == 0x09) {
            found = k;
        }
    }
    if (found < 0 || d < 3) {
        return;
    }
    hex_.deleteBytes(h + 1 + 3 * found + 3, 3);
    hex_.writeBytes(h, {static_cast<std::uint8_t>(0x20 + length - 3)},
                    length == 3 ? kCellRed : kCellYellow);
    hex_.writeBytes(130, {static_cast<std::uint8_t>(d - 3)}, kCellYellow);
}

// --- The build -----------------------------------------------------------------------------

void CreatorModel::showStatus(const std::string& text, TextColour colour) {
    const Scope scope(*this);
    const int id = ids().status;
    if (state(id).text != text) {
        mut(id).text = text;
        touch(id);
    }
    setColour(id, colour);
}

void CreatorModel::showWarning(const std::string& text, TextColour colour) {
    const Scope scope(*this);
    setWarning(text);
    setColour(ids().warning, colour);
}

void CreatorModel::setWriteEnabled(bool enabled) {
    const Scope scope(*this);
    ControlState& s = mut(ids().writeButton);
    if (s.enabled != enabled) {
        s.enabled = enabled;
        touch(ids().writeButton);
    }
}

bool CreatorModel::gatherControls(BuildControls& c) {
    const Ids& i = ids();
    auto on = [this](int id) { return state(id).checked; };
    auto number = [this](int id, unsigned& out) {
        const std::string& text = state(id).text;
        const Digits value = ParseDigits(Trimmed(text));
        if (!value.ok) {
            reportConversion(text);
            return false;
        }
        out = static_cast<unsigned>(value.value);
        return true;
    };
    c.ycbcr444 = on(i.colorSpace[0]);
    c.ycbcr422 = on(i.colorSpace[1]);
    c.ycbcr420 = on(i.colorSpace[2]);
    for (std::size_t n = 0; n < 3; ++n) {
        c.colorDepth[n] = on(i.colorDepth[n]);
        c.hdrDepth[n] = on(i.hdr[n]);
        c.eotf[n] = on(i.eotf[n]);
        c.sampleSize[n] = on(i.sampleSize[n]);
    }
    for (std::size_t n = 0; n < 8; ++n) {
        c.colorimetry[n] = on(i.colorimetry[n]);
    }
    for (std::size_t k = 0; k < kCreatorVics.size(); ++k) {
        c.vic[k] = on(i.vic[k]);
    }
    for (std::size_t k = 0; k < kCreatorYuv420Vics.size(); ++k) {
        c.yuv420[k] = on(i.yuv420[k]);
    }
    c.present3d = on(i.present3d);
    c.hdrType1 = on(i.hdrDescriptor);
    for (std::size_t n = 0; n < 3; ++n) {
        if (!number(i.luminance[n], c.luminance[n])) {
            return false;
        }
    }
    for (std::size_t f = 0; f < kAudioFormatCount; ++f) {
        const Ids::Audio& ids = i.audio[f];
        BuildControls::Audio& audio = c.audio[f];
        audio.box = on(ids.box);
        if (!number(ids.maxCh, audio.maxChannels) ||
            (ids.bitRate >= 0 && !number(ids.bitRate, audio.bitRate))) {
            return false;
        }
        for (std::size_t n = 0; n < 7; ++n) {
            audio.frequency[n] = on(ids.freq[n]);
        }
    }
    for (int n = 1; n <= 11; ++n) {
        c.speaker[static_cast<std::size_t>(n - 1)] = on(i.speaker[static_cast<std::size_t>(n)]);
    }
    // Four hexadecimal digits, either case: the two bytes of the physical address.
    const std::string& cec = state(i.cec).text;
    auto digit = [](char ch) {
        return ch >= '0' && ch <= '9'   ? ch - '0'
               : ch >= 'A' && ch <= 'F' ? ch - 'A' + 10
               : ch >= 'a' && ch <= 'f' ? ch - 'a' + 10
                                        : -1;
    };
    bool cecOk = cec.size() == 4;
    for (std::size_t k = 0; cecOk && k < 4; ++k) {
        cecOk = digit(cec[k]) >= 0;
    }
    if (!cecOk) {
        reportMessage("The CEC address \"" + cec + "\" is not four hexadecimal digits.");
        return false;
    }
    c.cec = {static_cast<std::uint8_t>(digit(cec[0]) * 16 + digit(cec[1])),
             static_cast<std::uint8_t>(digit(cec[2]) * 16 + digit(cec[3]))};
    c.dvi = on(i.dvi);
    c.block1Timing = block1Choice_;
    return true;
}

BuildResult CreatorModel::build() {
    const Scope scope(*this);
    BuildControls controls;
    if (!gatherControls(controls)) {
        BuildResult stopped;
        stopped.error = conversionError_;
        return stopped;
    }
    std::array<std::uint8_t, 128> block0{};
    const std::vector<std::uint8_t> shown = hex_.readBytes(0, 128);
    std::copy(shown.begin(), shown.end(), block0.begin());
    // Every build starts from the EDID as loaded: building twice without a change gives the
    // same image, and what the build carries over is always the loaded EDID's.
    EdidRecord working = record_;
    return BuildEdid(working, block0, controls);
}

// --- Entry points and the load --------------------------------------------------------------

void CreatorModel::openImage(const EdidImage& image) {
    const Scope scope(*this);
    record_.status =
        static_cast<std::uint16_t>((record_.status & ~kStatusBrandNew) | kStatusContentPresent);
    record_.image = image;
    runLoad();
    finishEntry();
}

void CreatorModel::brandNew() {
    const Scope scope(*this);
    record_.status |= kStatusBrandNew | kStatusContentPresent;
    record_.image = BrandNewTemplate();
    runLoad();
    finishEntry();
}

bool CreatorModel::copyFrom(const EdidRecord& analysed) {
    if ((analysed.status & kStatusValidationMask) != 0) {
        return false;
    }
    openImage(analysed.image);
    return true;
}

void CreatorModel::finishEntry() {
    hex_.load(record_);
}

void CreatorModel::runLoad() {
    const EdidImage image = record_.image;
    Decode(record_, image);
    block1Choice_.reset();
    if (isValid(record_)) {
        showRecord();
    } else {
        showErrorState();
    }
    record_.status |= kStatusCreatorLoaded;
}

void CreatorModel::showErrorState() {
    const Ids& i = ids();
    assignText(i.manufacturer, "Error.", true);
    assignText(i.monitor, "Error.", true);
    for (int id : {i.product, i.serial, i.year, i.week}) {
        assignText(id, "0", true);
    }
    assignText(i.cec, "0000", true);
    auto uncheck = [this](auto ids) {
        for (int id : ids) {
            assignChecked(id, false, true);
        }
    };
    uncheck(i.established);
    uncheck(i.standard);
    uncheck(i.colorSpace);
    uncheck(i.colorDepth);
    uncheck(i.colorimetry);
    uncheck(i.vic);
    uncheck(i.yuv420);
    uncheck(i.audio[0].freq);
    uncheck(i.sampleSize);
    for (int n = 1; n <= 11; ++n) {
        assignChecked(i.speaker[static_cast<std::size_t>(n)], false, true);
    }
    for (int n = 1; n <= 9; ++n) {
        assignChecked(i.audioFormat[static_cast<std::size_t>(n)], false, true);
    }
    for (std::size_t f = 1; f < kAudioFormatCount; ++f) {
        uncheck(i.audio[f].freq);
    }
    uncheck(i.hdr);
    uncheck(i.eotf);
    for (const Ids::Audio& audio : i.audio) {
        assignText(audio.maxCh, "0", true);
    }
    for (const Ids::Audio& audio : i.audio) {
        if (audio.bitRate >= 0) {
            assignText(audio.bitRate, "     0", true);
        }
    }
    for (int id : i.luminance) {
        assignText(id, LuminanceText(0), true);
    }
    assignChecked(i.present3d, false, true);
    assignChecked(i.hdrDescriptor, false, true);
}

void CreatorModel::showRecord() {
    const Ids& i = ids();
    const EdidRecord& r = record_;

    // Descriptor
    assignText(i.manufacturer, FieldText(r.manufacturer), true);
    std::string name = FieldText(r.monitorName);
    assignText(i.monitor, name.empty() ? std::string("-") : std::move(name), true);
    assignText(i.product, std::to_string(r.productCode), true);
    assignText(i.serial, std::to_string(r.serialNumber), true);
    if ((r.status & kStatusBrandNew) != 0) {
        // A new EDID is made today: the edits show the local year and ISO week, and the image
        // takes what they show.
        const CalendarDate date = clock_();
        assignText(i.year, std::to_string(date.year), true);
        assignText(i.week, std::to_string(IsoWeekNumber(date.year, date.month, date.day)), true);
        StampManufactureDate(record_.image, std::atoi(state(i.year).text.c_str()),
                             std::atoi(state(i.week).text.c_str()));
    } else {
        assignText(i.year, std::to_string(r.year + 1990), true);
        assignText(i.week, std::to_string(r.week), true);
    }

    // PC Timing
    for (int n = 1; n <= 17; ++n) {
        assignChecked(i.established[static_cast<std::size_t>(n - 1)],
                      Bit(r.establishedTimings, 23 - (n - 1)), true);
    }
    for (std::size_t n = 0; n < StandardTimings().size(); ++n) {
        bool present = false;
        for (std::uint16_t word : r.standardTimings) {
            present = present || word == StandardTimings()[n].word;
        }
        assignChecked(i.standard[n], present, true);
    }
    assignIndex(i.block0Preset, BasePresetShown(r));
    assignIndex(i.block1Preset, ExtensionPresetShown(r));

    // Color Space
    assignChecked(i.colorSpace[0], (r.extensionFlags & 0x20) != 0, true);
    assignChecked(i.colorSpace[1], (r.extensionFlags & 0x10) != 0, true);
    assignChecked(i.colorSpace[2], r.yuv420 != 0, true);
    for (int n = 0; n < 3; ++n) {
        assignChecked(i.colorDepth[static_cast<std::size_t>(n)], Bit(r.hdmiCapability, 6 - n),
                      true);
    }
    for (int n = 0; n < 8; ++n) {
        assignChecked(i.colorimetry[static_cast<std::size_t>(n)], Bit(r.colorimetry[0], 7 - n),
                      true);
    }

    // SD/HD/UHD: the video data block's VICs, the 4:2:0 list, then the HDMI VICs.
    auto contains = [](const auto& list, std::uint8_t vic) {
        for (std::uint8_t v : list) {
            if (v == vic) {
                return true;
            }
        }
        return false;
    };
    for (std::size_t k = 0; k < kCreatorVics.size(); ++k) {
        assignChecked(i.vic[k], contains(r.svd, kCreatorVics[k]), true);
    }
    for (std::size_t k = 0; k < kCreatorYuv420Vics.size(); ++k) {
        assignChecked(i.yuv420[k], contains(r.yuv420Video, kCreatorYuv420Vics[k]), true);
    }
    for (std::uint8_t hdmiVic : r.hdmiVic) {
        std::uint8_t vic = 0;
        if (hdmiVic == 1) {
            vic = 95;
        } else if (hdmiVic == 2) {
            vic = 94;
        } else if (hdmiVic == 3 || hdmiVic == 4) {
            vic = 93;
        }
        for (std::size_t k = 0; vic != 0 && k < kCreatorVics.size(); ++k) {
            if (kCreatorVics[k] == vic) {
                assignChecked(i.vic[k], true, true);
            }
        }
    }

    // Others (3D), then the HDR part of Color Space.
    assignChecked(i.present3d, (r.format & kFormat3dPresent) != 0, true);
    for (int n = 0; n < 3; ++n) {
        assignChecked(i.hdr[static_cast<std::size_t>(n)], Bit(r.yuv420DeepColor, 2 - n), true);
    }
    for (int n = 0; n < 3; ++n) {
        assignChecked(i.eotf[static_cast<std::size_t>(n)], Bit(r.hdrMetadata[0], 2 - n), true);
    }
    for (std::size_t n = 0; n < 3; ++n) {
        assignText(i.luminance[n], LuminanceText(r.hdrMetadata[2 + n]), true);
    }
    assignChecked(i.hdrDescriptor, (r.hdrMetadata[1] & 0x01) != 0, true);

    showAudio();

    // Speaker placement: the right-hand boxes follow through the pairing rule.
    for (int n = 1; n <= 11; ++n) {
        assignChecked(i.speaker[static_cast<std::size_t>(n)],
                      Bit(r.speakerAllocation, Speakers()[static_cast<std::size_t>(n - 1)].bit),
                      true);
    }

    assignText(i.cec, HexPair(r.cecAddress[0], r.cecAddress[1]), true);
    const bool hdmi = (r.format & kFormatHdmi) != 0;
    assignChecked(i.dvi, !hdmi, true);
    assignChecked(i.hdmi, hdmi, true);
}

void CreatorModel::showAudio() {
    const Ids& i = ids();
    for (int n = 1; n <= 9; ++n) {
        assignChecked(i.audioFormat[static_cast<std::size_t>(n)], false, true);
    }
    for (std::size_t f = 1; f < kAudioFormatCount; ++f) {
        const Ids::Audio& audio = i.audio[f];
        assignText(audio.maxCh, "0", true);
        if (audio.bitRate >= 0) {
            assignText(audio.bitRate, "     0", true);
        }
        for (int id : audio.freq) {
            assignChecked(id, false, true);
        }
        assignChecked(audio.detail, false, true);
    }
    assignText(i.audio[0].maxCh, "0", true);
    for (int id : i.audio[0].freq) {
        assignChecked(id, false, true);
    }
    for (int id : i.sampleSize) {
        assignChecked(id, false, true);
    }

    // Each descriptor slot in order; a later slot of a format overrides an earlier one.
    for (const auto& sad : record_.sad) {
        const int f = AudioFormatOfCode((sad[0] >> 3) & 0x0F);
        if (f < 0) {
            continue;
        }
        const Ids::Audio& audio = i.audio[static_cast<std::size_t>(f)];
        const std::string channels = std::to_string((sad[0] & 0x07) + 1);
        if (f == 0) {
            assignText(audio.maxCh, channels, true);
            if (state(audio.maxCh).text == "2") {
                assignChecked(audio.box, true, true);
            }
            for (int n = 0; n < 3; ++n) {
                assignChecked(i.sampleSize[static_cast<std::size_t>(n)], Bit(sad[2], 2 - n), true);
            }
        } else {
            assignChecked(audio.box, true, true);
            assignText(audio.maxCh, channels, true);
            if (audio.bitRate >= 0) {
                assignText(audio.bitRate, BitRateText(sad[2] * 8u), true);
            }
        }
        for (int n = 0; n < 7; ++n) {
            assignChecked(audio.freq[static_cast<std::size_t>(n)], Bit(sad[1], 6 - n), true);
        }
    }
}

} // namespace lvx
