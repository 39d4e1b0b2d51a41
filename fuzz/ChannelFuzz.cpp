// The Multi-COM channels: an answer to GET COM_MSG and to GET COM_CONFIG for any channel
// count, and channel text appended to a small capped channel until it drops old text.
//
// Input: the channel count (first byte, 0 to 9 used as given), then the answer text. The
// same text is also appended piece by piece (pieces cut at form feeds) to a channel of 64
// bytes, whose memo must always equal what its changes built.

#include "FuzzSupport.h"

#include "multicom/ChannelAnswers.h"
#include "multicom/ChannelText.h"

#include <string>
#include <string_view>

using namespace lvx;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const int count = data[0] % 10;
    const std::string_view answer(reinterpret_cast<const char*>(data) + 1, size - 1);

    if (const std::optional<ChannelData> text = ParseChannelAnswer(answer, count)) {
        LVX_FUZZ_CHECK(text->channel >= 1 && text->channel <= count && text->channel <= 7);
        LVX_FUZZ_CHECK(text->text.data() >= answer.data() &&
                       text->text.data() + text->text.size() <= answer.data() + answer.size());
        LVX_FUZZ_CHECK(text->text.find('\x0C') == std::string_view::npos);
    }
    (void)ParseChannelSettings(answer, count);
    // A name with no file part (nothing chosen, or a folder) is no log name at all.
    const std::string name = LogSaveName(answer);
    if (answer.empty() || answer.back() == '/') {
        LVX_FUZZ_CHECK(name.empty());
    } else {
        LVX_FUZZ_CHECK(name.size() >= 4 && name.compare(name.size() - 4, 4, ".txt") == 0);
    }

    // The memo a channel's changes build stays the memo the channel describes.
    ChannelText channel(64);
    std::string memo;
    auto apply = [&memo](const MemoChange& change) {
        if (change.reset) {
            memo.clear();
        }
        std::size_t start = 0;
        if (change.insertNote) {
            memo.insert(0, kDroppedNote);
        }
        if (memo.compare(0, std::string_view(kDroppedNote).size(), kDroppedNote) == 0) {
            start = std::string_view(kDroppedNote).size();
        }
        LVX_FUZZ_CHECK(change.removeChars <= memo.size() - start);
        memo.erase(start, change.removeChars);
        memo += change.append;
    };
    std::size_t from = 0;
    while (from < answer.size()) {
        std::size_t cut = answer.find('\x0C', from);
        cut = cut == std::string_view::npos ? answer.size() : cut + 1;
        apply(channel.append(answer.substr(from, cut - from)));
        LVX_FUZZ_CHECK(channel.size() <= channel.cap());
        from = cut;
    }
    LVX_FUZZ_CHECK(memo == channel.memoText());
    return 0;
}
