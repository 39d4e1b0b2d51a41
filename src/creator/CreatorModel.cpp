#include "creator/CreatorModel.h"

#include "creator/BrandNewTemplate.h"
#include "creator/CreatorIds.h"
#include "creator/EdidWorkImage.h"
#include "edid/EdidDecoder.h"
#include "edid/EdidValidation.h"
#include "edid/TimingPresets.h"

#include <QDate>

namespace lvx {

namespace {

const ControlState& EmptyState() {
    static const ControlState empty;
    return empty;
}

} // namespace

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

CreatorModel::CreatorModel(EdidWorkImage& image, QObject* parent)
    : QObject(parent), image_(image), clock_(&CreatorModel::today) {
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

void CreatorModel::markError(int id, const char* message) {
    fieldErrors_[id] = message;
    record_.status |= kStatusFieldError;
}

void CreatorModel::clearError(int id) {
    fieldErrors_.erase(id);
    if (fieldErrors_.empty()) {
        record_.status = static_cast<std::uint16_t>(record_.status & ~kStatusFieldError);
    }
}

void CreatorModel::clearAllErrors() {
    for (const auto& [id, message] : fieldErrors_) {
        setColour(id, TextColour::Black);
    }
    fieldErrors_.clear();
    record_.status = static_cast<std::uint16_t>(record_.status & ~kStatusFieldError);
}

std::string CreatorModel::fieldName(int id) {
    if (id < 0 || id >= controlCount()) {
        return std::string();
    }
    const ControlDef& d = definition(id);
    auto trimmed = [](std::string_view text) {
        const std::size_t first = text.find_first_not_of(' ');
        return first == std::string_view::npos ? std::string() : std::string(text.substr(first));
    };
    switch (d.role) {
    case ControlRole::ManufacturerName:
        return "Manufacturer";
    case ControlRole::MonitorName:
        return "Monitor Name";
    case ControlRole::ProductCode:
        return "Product Code";
    case ControlRole::SerialNumber:
        return "Serial Number";
    case ControlRole::Year:
        return "Year";
    case ControlRole::Week:
        return "Week";
    case ControlRole::MaxChannels:
        if (d.arg >= 0 && d.arg < static_cast<int>(kAudioFormatCount)) {
            return trimmed(AudioFormats()[static_cast<std::size_t>(d.arg)].panelCaption) + " MaxCh";
        }
        break;
    case ControlRole::Luminance: {
        static constexpr const char* kWhich[] = {"Max", "Avg", "Min"};
        if (d.arg >= 1 && d.arg <= 3) {
            return std::string("HDR Luminance ") + kWhich[d.arg - 1];
        }
        break;
    }
    case ControlRole::HdrDepth:
        return "HDR 4:2:0 " + d.caption;
    default:
        break;
    }
    return d.caption.empty() ? d.name : trimmed(d.caption);
}

std::vector<int> CreatorModel::fieldsInError() const {
    std::vector<int> fields;
    for (const auto& [id, message] : fieldErrors_) {
        fields.push_back(id);
    }
    return fields;
}

std::string CreatorModel::fieldErrorText() const {
    std::string text;
    for (const auto& [id, message] : fieldErrors_) {
        if (!text.empty()) {
            text += ", ";
        }
        text += fieldName(id) + " (" + message + ")";
    }
    return text;
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

// --- The labels the flows use ----------------------------------------------------------------

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

// --- The build -----------------------------------------------------------------------------

BuildResult CreatorModel::build() {
    const Scope scope(*this);
    BuildControls controls;
    if (!gatherControls(controls)) {
        BuildResult stopped;
        stopped.error = conversionError_;
        return stopped;
    }
    std::array<std::uint8_t, 128> block0{};
    const std::vector<std::uint8_t> shown = image_.readBytes(0, 128);
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
    // What Label3 said was about the EDID before this one.
    const int status = ids().status;
    if (!state(status).text.empty()) {
        mut(status).text.clear();
        touch(status);
    }
    // The reference changes only now: the rules that ran during the load compared with the
    // one before.
    const bool valid = isValid(record_);
    if (valid) {
        reference_ = record_;
    }
    image_.load(record_.image,
                valid ? EdidWorkImage::Reference::Take : EdidWorkImage::Reference::Keep);
}

void CreatorModel::runLoad() {
    // The decode below clears the flag; the rules the load runs mark what is out of limits in
    // the image that came in, and nothing of the one before.
    clearAllErrors();
    if ((record_.status & kStatusBrandNew) != 0) {
        // A new EDID is made today: the image takes the local year and ISO week before it is
        // decoded, so the record's date fields agree with its bytes.
        madeOn_ = clock_();
        StampManufactureDate(record_.image, madeOn_.year,
                             IsoWeekNumber(madeOn_.year, madeOn_.month, madeOn_.day));
    }
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

} // namespace lvx
