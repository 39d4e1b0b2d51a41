#pragma once

#include "common/Prompt.h"

#include <deque>
#include <string>
#include <vector>

namespace lvx::test {

// Answers dialogs from prepared answers and records what was asked.
class RecordingPrompt : public Prompt {
public:
    struct Message {
        std::string caption;
        std::string text;
    };

    std::string openFileName(const std::string& filter) override {
        filters.push_back(filter);
        return next(openAnswers);
    }
    std::string saveFileName(const std::string& filter, const std::string& proposed) override {
        filters.push_back(filter);
        proposedNames.push_back(proposed);
        return next(saveAnswers);
    }
    void message(const std::string& caption, const std::string& text) override {
        messages.push_back({caption, text});
    }
    bool confirm(const std::string& caption, const std::string& text) override {
        messages.push_back({caption, text});
        if (confirmAnswers.empty()) {
            return false;
        }
        const bool answer = confirmAnswers.front();
        confirmAnswers.pop_front();
        return answer;
    }

    std::string chooseDirectory(const std::string& caption) override {
        directoryCaptions.push_back(caption);
        return next(directoryAnswers);
    }

    // An empty answer is a cancelled dialog.
    std::deque<std::string> directoryAnswers;
    std::deque<std::string> openAnswers;
    std::deque<std::string> saveAnswers;
    std::deque<bool> confirmAnswers;
    std::vector<std::string> filters;
    std::vector<std::string> proposedNames;
    std::vector<Message> messages;
    std::vector<std::string> directoryCaptions;

private:
    static std::string next(std::deque<std::string>& answers) {
        if (answers.empty()) {
            return {};
        }
        std::string answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

} // namespace lvx::test
