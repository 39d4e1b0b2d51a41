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
        std::string details;
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
    std::string openFileNameFor(FileKind kind, const std::string& filter) override {
        kinds.push_back(kind);
        return openFileName(filter);
    }
    std::string saveFileNameFor(FileKind kind, const std::string& filter,
                                const std::string& proposed) override {
        kinds.push_back(kind);
        return saveFileName(filter, proposed);
    }
    void message(const std::string& caption, const std::string& text) override {
        messages.push_back({caption, text, {}});
    }
    void messageWithDetails(const std::string& caption, const std::string& text,
                            const std::string& details) override {
        messages.push_back({caption, text, details});
    }
    bool confirm(const std::string& caption, const std::string& text) override {
        messages.push_back({caption, text, {}});
        if (confirmAnswers.empty()) {
            return false;
        }
        const bool answer = confirmAnswers.front();
        confirmAnswers.pop_front();
        return answer;
    }

    // Recorded as a confirmation too; its text is also kept apart, so a test sees which
    // questions came with Cancel as their default.
    bool confirmIrreversible(const std::string& caption, const std::string& text) override {
        irreversible.push_back(text);
        return confirm(caption, text);
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
    std::vector<FileKind> kinds; // of the dialogs asked for a kind of file
    std::vector<Message> messages;
    std::vector<std::string> irreversible;
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
