// The build's view of the controls: what each box and edit says, as BuildEdid takes it.
#include "creator/CreatorIds.h"
#include "creator/CreatorModel.h"
#include "creator/CreatorText.h"

namespace lvx {

namespace {

int HexDigit(char ch) {
    return ch >= '0' && ch <= '9'   ? ch - '0'
           : ch >= 'A' && ch <= 'F' ? ch - 'A' + 10
           : ch >= 'a' && ch <= 'f' ? ch - 'a' + 10
                                    : -1;
}

} // namespace

bool CreatorModel::gatherControls(BuildControls& c) {
    gatherFlags(c);
    if (!gatherNumbers(c) || !gatherCec(c)) {
        return false;
    }
    c.block1Timing = block1Choice_;
    return true;
}

void CreatorModel::gatherFlags(BuildControls& c) const {
    const Ids& i = ids();
    auto on = [this](int id) { return state(id).checked; };
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
    for (std::size_t f = 0; f < kAudioFormatCount; ++f) {
        c.audio[f].box = on(i.audio[f].box);
        for (std::size_t n = 0; n < 7; ++n) {
            c.audio[f].frequency[n] = on(i.audio[f].freq[n]);
        }
    }
    for (int n = 1; n <= 11; ++n) {
        c.speaker[static_cast<std::size_t>(n - 1)] = on(i.speaker[static_cast<std::size_t>(n)]);
    }
    c.dvi = on(i.dvi);
}

// The luminance edits, then each audio format's channels and bit rate, in that order: the
// first text that is not a number stops the build.
bool CreatorModel::gatherNumbers(BuildControls& c) {
    const Ids& i = ids();
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
    for (std::size_t n = 0; n < 3; ++n) {
        if (!number(i.luminance[n], c.luminance[n])) {
            return false;
        }
    }
    for (std::size_t f = 0; f < kAudioFormatCount; ++f) {
        const Ids::Audio& ids = i.audio[f];
        BuildControls::Audio& audio = c.audio[f];
        if (!number(ids.maxCh, audio.maxChannels) ||
            (ids.bitRate >= 0 && !number(ids.bitRate, audio.bitRate))) {
            return false;
        }
    }
    return true;
}

// Four hexadecimal digits, either case: the two bytes of the physical address.
bool CreatorModel::gatherCec(BuildControls& c) {
    const std::string& cec = state(ids().cec).text;
    bool ok = cec.size() == 4;
    for (std::size_t k = 0; ok && k < 4; ++k) {
        ok = HexDigit(cec[k]) >= 0;
    }
    if (!ok) {
        reportMessage("The CEC address \"" + cec + "\" is not four hexadecimal digits.");
        return false;
    }
    c.cec = {static_cast<std::uint8_t>(HexDigit(cec[0]) * 16 + HexDigit(cec[1])),
             static_cast<std::uint8_t>(HexDigit(cec[2]) * 16 + HexDigit(cec[3]))};
    return true;
}

} // namespace lvx
