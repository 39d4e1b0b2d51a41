#include "common/DebugLog.h"

namespace lvx {

void DebugLog::addLine(std::string_view line) {
    // A memo adds a line after a line break of its own; the line itself ends with one.
    if (!text_.empty() && text_.back() != '\n') {
        text_ += "\r\n";
    }
    text_.append(line);
    text_ += "\r\n";
    changed(line);
}

void DebugLog::appendText(std::string_view text) {
    text_.append(text);
    changed(text);
}

void DebugLog::notice(std::string_view text) {
    appendText(text);
    if (onNotice) {
        onNotice(text);
    }
}

void DebugLog::setText(std::string_view text) {
    ++rewrites_;
    text_.assign(text);
    changed(text);
}

void DebugLog::changed(std::string_view piece) {
    if (text_.size() > cap_) {
        std::size_t cut = text_.size() - cap_ / 2;
        const std::size_t lineEnd = text_.find('\n', cut);
        if (lineEnd != std::string::npos) {
            cut = lineEnd + 1;
        }
        text_.erase(0, cut);
        ++rewrites_;
    }
    if (onTrace) {
        onTrace(piece);
    }
    if (onChanged) {
        onChanged(text_);
    }
}

} // namespace lvx
