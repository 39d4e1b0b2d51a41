#pragma once

#include <string>

namespace lvx {

// Kinds of file whose dialogs each start in the folder last used for that kind.
enum class FileKind { Edid, Firmware, Log };

// How a flow asks the user: file dialogs, messages, confirmations. The windows answer with
// dialogs, the command line with its arguments, tests with prepared answers.
class Prompt {
public:
    virtual ~Prompt() = default;

    // The chosen file, or an empty text when the user cancelled. The filter reads like
    // "EDID (*.bin)|*.bin".
    virtual std::string openFileName(const std::string& filter) = 0;
    virtual std::string saveFileName(const std::string& filter,
                                     const std::string& proposedName) = 0;
    // The same dialogs for a kind of file: the program starts each kind in the folder last used
    // for it. Others answer as for any file; the plain two above count as EDID files.
    virtual std::string openFileNameFor(FileKind kind, const std::string& filter) {
        (void)kind;
        return openFileName(filter);
    }
    virtual std::string saveFileNameFor(FileKind kind, const std::string& filter,
                                        const std::string& proposedName) {
        (void)kind;
        return saveFileName(filter, proposedName);
    }
    // A message with an OK button.
    virtual void message(const std::string& caption, const std::string& text) = 0;
    // A message with its explanation kept apart (the windows put it under "Show Details...");
    // where there is no such place the explanation follows the text.
    virtual void messageWithDetails(const std::string& caption, const std::string& text,
                                    const std::string& details) {
        message(caption, details.empty() ? text : text + "\n\n" + details);
    }
    // A question with OK/Cancel or Yes/No; true for OK or Yes.
    virtual bool confirm(const std::string& caption, const std::string& text) = 0;
    // The same question for what cannot be undone (a firmware write, a factory default):
    // the windows make Cancel the default answer, so a stray Enter changes nothing.
    virtual bool confirmIrreversible(const std::string& caption, const std::string& text) {
        return confirm(caption, text);
    }
    // A folder (for a device backup), or an empty text when the user cancelled.
    virtual std::string chooseDirectory(const std::string& caption) {
        (void)caption;
        return {};
    }
};

} // namespace lvx
