#pragma once

#include "common/EdidImage.h"
#include "creator/CreatorBuild.h"
#include "creator/CreatorControls.h"
#include "edid/EdidRecord.h"

#include <QList>
#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lvx {

class EdidWorkImage;

enum class TextColour : std::uint8_t { Black, Red, DarkBlue };

// What one control shows. Which fields mean something depends on the control's kind: check
// boxes and radio buttons `checked`, edits and labels `text`, combo boxes `index`, panels
// `height`; `colour` is the text colour of edits, check boxes and labels.
struct ControlState {
    bool checked = false;
    std::string text; // one byte per character (Latin-1)
    int index = 0;
    bool enabled = true;
    TextColour colour = TextColour::Black;
    int height = 0;
};

struct CalendarDate {
    int year = 2000;
    int month = 1;
    int day = 1;
};

// The EDID creator without its widgets: the creator record, the state of every creator
// control (by its objectName, see CreatorControls()), the load procedure, the controls'
// rules, the timing presets and the entry points, all acting on the one work image.
//
// The creator holds one loaded EDID. The creator record is the image last opened, decoded
// once, with the creator's status bits; the build starts from it. Its copy as the reference
// is taken whenever an image loads valid: the work image's cell colours, the rules' "back to
// what was loaded" and the presets compare with it. An invalid image shows its bytes in the
// work image and the error state in the controls, and leaves the reference as it was.
//
// A control changes in two ways. A user's change (setChecked, setText, setIndex) takes the
// value and, when it differs from what the control held, runs the control's rule, as a click
// or a keystroke would. The load procedure sets controls one by one in its fixed order and
// runs each one's rule whether or not the value changed, so what the controls show after a
// load depends on the image alone. While the creator-loaded flag is clear (during a load, or
// before the first one) the rules run their checks and couplings and leave the image alone.
//
// Every public operation reports the controls it changed once, when it ends, through
// controlsChanged(); the widgets show those.
class CreatorModel : public QObject {
    Q_OBJECT
public:
    using Clock = std::function<CalendarDate()>;

    // The presets' item texts are those of TimingPresets().
    explicit CreatorModel(EdidWorkImage& image, QObject* parent = nullptr);
    ~CreatorModel() override;

    // Today's local date unless a test or the command line says otherwise.
    void setClock(Clock clock);
    static CalendarDate today();

    // --- Controls -----------------------------------------------------------------------
    static int idOf(std::string_view name) { return CreatorControlId(name); }
    static const ControlDef& definition(int id) {
        return CreatorControls()[static_cast<std::size_t>(id)];
    }
    static int controlCount() { return static_cast<int>(CreatorControls().size()); }
    // The state of a control; an unknown id or name gives an empty state.
    const ControlState& state(int id) const;
    const ControlState& state(std::string_view name) const { return state(idOf(name)); }
    bool checked(std::string_view name) const { return state(name).checked; }
    const std::string& text(std::string_view name) const { return state(name).text; }
    int index(std::string_view name) const { return state(name).index; }

    // A user's change. False (nothing done) when the control does not take such a value: a
    // wrong kind, a hidden control, or an index outside the combo box's items. A radio
    // button can only be checked; its partner unchecks.
    bool setChecked(int id, bool on);
    bool setText(int id, const std::string& text);
    bool setIndex(int id, int index);

    // --- Entry points -------------------------------------------------------------------
    // "Open EDID" once the file has been read: the image goes into the creator record
    // (brand-new flag off, content-present flag on), is loaded and shown in the hex table.
    void openImage(const EdidImage& image);
    // "Brand New EDID": the template, stamped with the clock's date.
    void brandNew();
    // "Copy to EDID Creator": refused (false, nothing changed) while the analysed record
    // carries a validation error.
    bool copyFrom(const EdidRecord& analysed);

    // The creator record and the work image it edits.
    const EdidRecord& record() const { return record_; }
    EdidRecord& record() { return record_; }
    EdidWorkImage& workImage() { return image_; }
    const EdidWorkImage& workImage() const { return image_; }
    // The last image that loaded valid, decoded (a fresh record before the first one): what
    // the work image's colours are judged against.
    const EdidRecord& reference() const { return reference_; }

    bool loaded() const { return (record_.status & kStatusCreatorLoaded) != 0; }
    // Set while any field is shown out of its limits, whichever rule ran last.
    bool fieldError() const { return (record_.status & kStatusFieldError) != 0; }
    // The fields shown out of their limits, in the order of the tab's pages.
    std::vector<int> fieldsInError() const;
    // Those fields by the names the tab gives them, each with its limit:
    // "Year (1990~2245 Limited!), HDR 4:2:0 16Bit (HDR Must Base On 4K!)"; empty when none.
    std::string fieldErrorText() const;
    // The name a user knows a control by ("Year", "DTS MaxCh", "HDR 4:2:0 12Bit").
    static std::string fieldName(int id);
    bool contentPresent() const { return (record_.status & kStatusContentPresent) != 0; }

    // The last conversion error ("..." is not a number), also sent by conversionError().
    const std::string& lastConversionError() const { return conversionError_; }

    // The item texts of the two preset combo boxes.
    static std::vector<std::string> presetItems();

    // --- The build ------------------------------------------------------------------------
    // Turns the controls into a 256-byte EDID (see BuildEdid): block 0 from the hex table,
    // block 1 generated from the controls and the EDID as loaded. The creator record and the
    // work image are left as they are, so the same controls always build the same image. A
    // text the build must read as a number that is none, or a CEC address that is not four
    // hexadecimal digits, stops it with a message (also sent by conversionError()).
    BuildResult build();

    // The labels and the button the flows use: Label3, the shared warning label and "Write
    // EDID to Device".
    void showStatus(const std::string& text, TextColour colour);
    void showWarning(const std::string& text, TextColour colour);
    void setWriteEnabled(bool enabled);

signals:
    void controlsChanged(const QList<int>& ids);
    // A rule met a text that is not a number and stopped; nothing else changed.
    void conversionError(const QString& text);

public:
    // The controls by id (CreatorIds.h), for the model's own source files.
    struct Ids;

private:
    class Scope;
    static const Ids& ids();

    // --- State changes; each notes the control as changed when its state differs.
    ControlState& mut(int id);
    void touch(int id);
    void assignChecked(int id, bool on, bool force);
    void assignText(int id, std::string text, bool force);
    void assignIndex(int id, int index);
    void setColour(int id, TextColour colour);
    void setHeight(int id, int height);
    void setWarning(const std::string& text);
    // A field enters or leaves the set of fields out of their limits; the field-error flag
    // follows the set.
    void markError(int id, const char* message);
    void clearError(int id);
    void clearAllErrors();

    // --- Rules
    void runRule(int id);
    void violation(int id, const char* message);
    void inRange(int id);
    void reportConversion(const std::string& text);
    void reportMessage(const std::string& message);
    // The build's view of the controls; false (with the message reported) when a text that
    // must be a number is none.
    bool gatherControls(BuildControls& controls);
    void gatherFlags(BuildControls& controls) const;
    bool gatherNumbers(BuildControls& controls);
    bool gatherCec(BuildControls& controls);
    void manufacturerRule(int id);
    void monitorRule(int id);
    // Product code, serial number, year and week: one rule on the field's limits.
    void numberRule(int id);
    void maxChannelsRule(int id);
    void luminanceRule(int id);
    void fourKRule(int id);
    void hdrDepthRule(int id);
    void audioFormatRule(int id);
    void detailRule(int id);
    void speakerRule(int id);
    void block0PresetRule();
    void block1PresetRule();
    void establishedRule(int id);
    void standardRule(int id);
    void vicPreview(int id);
    void basicPreview(int id);
    // The first data block of block 1 with this tag in the image shown: its tag byte's
    // offset and its length.
    std::optional<std::pair<int, int>> firstBlock(std::uint8_t tag) const;
    // Writes the reference image's bytes back, white.
    void restoreReference(int offset, int count);
    // Writes an edit's new bytes: yellow, or red when the value is over its limit.
    void writeField(int offset, const std::vector<std::uint8_t>& bytes, bool over);
    bool any4K() const;
    bool anyHdrDepth() const;

    // --- Load
    void runLoad();
    void showErrorState();
    void showRecord();
    void showDescriptor();
    void showPcTiming();
    void showColour();
    void showVideoCodes();
    void showAudio();
    void clearAudio();
    void showSpeakersAndFormat();
    void finishEntry();

    EdidWorkImage& image_;
    EdidRecord record_;
    EdidRecord reference_;
    std::vector<ControlState> states_;
    Clock clock_;
    CalendarDate madeOn_; // the clock's date at the last brand-new load
    std::string conversionError_;
    bool conversionPending_ = false;
    std::map<int, std::string> fieldErrors_; // by control id: the limit each one broke
    // The 18 bytes last chosen in ComboBox_Block1_DTD1 since the load, as the preset write
    // built them.
    std::optional<DetailedTiming> block1Choice_;

    int depth_ = 0;
    std::vector<char> dirty_;
    QList<int> changed_;
};

} // namespace lvx
