#include "protocol/AnswerFramer.h"

#include "protocol/Frame.h"

#include <algorithm>
#include <cstring>

namespace lvx {

AnswerFramer::Verdict AnswerFramer::feed(std::string_view bytes) {
    if (bytes.empty()) {
        return Verdict::NeedMore;
    }
    const std::size_t kept = std::min(kReceiveBufferSize - count_, bytes.size());
    std::memcpy(buffer_.data() + count_, bytes.data(), kept);
    count_ += kept;
    // Only bytes that arrived now can end a line: a rejected line left in the buffer is not
    // judged again when nothing new came.
    if (count_ == 0 || buffer_[count_ - 1] != '\n') {
        return Verdict::NeedMore;
    }
    switch (CheckAnswer(text())) {
    case AnswerCheck::Valid:
        return Verdict::Answer;
    case AnswerCheck::BadCrc:
        return Verdict::BadCrc;
    case AnswerCheck::TooShort:
        break;
    }
    return Verdict::NeedMore;
}

std::string_view AnswerFramer::text() const {
    const auto* begin = reinterpret_cast<const char*>(buffer_.data());
    const void* zero = std::memchr(begin, 0, count_);
    const std::size_t length =
        zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - begin) : count_;
    return {begin, length};
}

bool AnswerFramer::partial() const {
    return count_ > 0 && count_ < kReceiveBufferSize && buffer_[count_ - 1] != '\n';
}

void AnswerFramer::clear() {
    buffer_.fill(0);
    count_ = 0;
}

std::string_view AnswerFramer::stored() const {
    return {reinterpret_cast<const char*>(buffer_.data()), buffer_.size()};
}

} // namespace lvx
