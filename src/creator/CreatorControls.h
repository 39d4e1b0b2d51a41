#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lvx {

// The creator's controls as data: every control of the "EDID Creator" tab that holds state,
// with its objectName, kind, caption and role. The creator model keeps one state per entry
// and the tab builds one widget per entry; both find an entry by its name.

enum class ControlKind : std::uint8_t {
    CheckBox,
    RadioButton,
    Edit,
    ComboBox,
    Label,
    Panel,
    Button
};

// What a control's change does. `arg` of the entry says which member of a family it is.
enum class ControlRole : std::uint8_t {
    None,
    ManufacturerName,
    MonitorName,
    ProductCode,
    SerialNumber,
    Year,
    Week,
    CecAddress,
    Established,  // arg: 1-17
    Standard,     // arg: 1-5
    Block0Preset, // the two preset combo boxes
    Block1Preset,
    VicBox,      // arg: the VIC
    Yuv420Box,   // arg: the VIC
    HdrDepth,    // arg: 1-3 ("16Bit", "12Bit", "10Bit" of the 4:2:0 deep colour)
    Luminance,   // arg: 1-3 (max, average, min)
    AudioFormat, // arg: the box number 1-9
    AudioDetail, // arg: the audio format index 1-7 (see AudioFormats())
    HdrDetail,
    MaxChannels,  // arg: the audio format index 0-7
    Speaker,      // arg: 1-11, the left-hand (or only) box
    SpeakerRight, // arg: 1-11, the paired right-hand box
};

struct ControlDef {
    std::string name;
    ControlKind kind;
    std::string caption; // check boxes, radio buttons, panels, buttons (their hint)
    std::string text;    // the text an edit or a label starts with
    ControlRole role = ControlRole::None;
    int arg = 0;
    bool upperCase = false; // an edit that turns what the user types into upper case
    bool hidden = false;
    int panel = -1;       // a "For Detail" box: the id of the panel it folds
    int foldedHeight = 0; // a panel: its height while folded and while open
    int openHeight = 0;
};

// Every control, in the order of the tab's pages. A control's id is its index here.
const std::vector<ControlDef>& CreatorControls();
// The id of a control, or -1 for a name the creator does not have.
int CreatorControlId(std::string_view name);
// The family member name: prefix followed by the number in decimal.
std::string FamilyName(std::string_view prefix, int number);

// --- The tables the families come from -----------------------------------------------------

// The VIC boxes, in the order the build walks them.
constexpr std::array<std::uint8_t, 21> kCreatorVics = {6,  3,  21, 18, 60, 61, 62, 19, 4,  20, 5,
                                                       32, 33, 34, 31, 16, 93, 94, 95, 96, 97};
constexpr std::array<std::uint8_t, 2> kCreatorYuv420Vics = {96, 97};
// The refresh rate each VIC box is captioned with.
std::string_view VicCaption(std::uint8_t vic);

// One audio format of the "Audio1" and "Audio2" tabs. Index 0 is L-PCM, 1-7 the formats of
// "Audio2" in the order of their panels.
struct AudioFormatDef {
    std::string_view key;                   // "LPCM", "AC3", ...: part of the control names
    int box;                                // CheckBox_AudioFormat_ number
    std::uint8_t code;                      // audio format code (SAD byte 0 bits 6-3)
    std::string_view panelCaption;          // the format's panel
    bool bitRate;                           // has an Edit_Audio<key>_BitRate
    std::uint16_t presenceBit;              // the decoder's audio format flag of this format
    std::uint8_t createdByte1;              // first byte of a descriptor the build creates
    std::array<std::uint8_t, 3> emptyMaxCh; // the descriptor when MaxCh shows 0
    std::uint8_t fixedByte3; // third byte when MaxCh shows more than 0 and there is no bit rate
};
constexpr std::size_t kAudioFormatCount = 8;
const std::array<AudioFormatDef, kAudioFormatCount>& AudioFormats();
// The audio format index of a format code, or -1.
int AudioFormatOfCode(unsigned code);

constexpr std::array<std::string_view, 7> kFrequencyCaptions = {
    "192kHz", "176.4kHz", "96kHz", "88.2kHz", "48kHz", "44.1kHz", "32kHz"};
constexpr std::array<std::string_view, 3> kSampleSizeCaptions = {"24Bit", "20Bit", "16Bit"};

struct SpeakerDef {
    std::string_view caption;
    std::string_view pairCaption; // empty: no right-hand box
    int bit;                      // bit of the 24-bit speaker allocation
};
const std::array<SpeakerDef, 11>& Speakers();

struct EstablishedDef {
    std::string_view timing; // the row it sits in
    std::string_view caption;
};
const std::array<EstablishedDef, 17>& EstablishedTimings();

struct StandardDef {
    std::uint16_t word; // the standard timing code
    std::string_view timing;
    std::string_view caption;
};
const std::array<StandardDef, 5>& StandardTimings();

// Control names that the model and the tab both use.
namespace names {
constexpr std::string_view kManufacturer = "Edit_Creator_Manufac_Name";
constexpr std::string_view kMonitor = "Edit_Creator_Monitor_Name";
constexpr std::string_view kProduct = "Edit_Creator_Product_Code";
constexpr std::string_view kSerial = "Edit_Creator_Serial_Number";
constexpr std::string_view kYear = "Edit_Creator_Manufac_Year";
constexpr std::string_view kWeek = "Edit_Creator_Manufac_Week";
constexpr std::string_view kCec = "Edit_Creator_CEC_Address";
constexpr std::string_view kBlock0Preset = "ComboBox_Block0_DTD";
constexpr std::string_view kBlock1Preset = "ComboBox_Block1_DTD1";
constexpr std::string_view kPresent3d = "CheckBox_3D_Present";
constexpr std::string_view kHdrDescriptor = "CheckBox_HDR_Despt_1";
constexpr std::string_view kHdrDetail = "CheckBox_HDR_Detial";
constexpr std::string_view kHdrPanel = "Panel_HDR";
constexpr std::string_view kDvi = "RadioButton_Edid_Fmt_Dvi";
constexpr std::string_view kHdmi = "RadioButton_Edid_Fmt_Hdmi";
constexpr std::string_view kStatusLabel = "Label3";
constexpr std::string_view kWarningLabel = "Label_EdidCreator_Warning";
constexpr std::string_view kWriteButton = "SpeedButton_CopyEdid_Creator";
} // namespace names

} // namespace lvx
