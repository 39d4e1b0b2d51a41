#pragma once

#include "common/Prompt.h"

#include <QString>

class QWidget;

namespace lvx {

// The program's dialogs: file dialogs and message boxes over a parent window.
class WidgetPrompt : public Prompt {
public:
    explicit WidgetPrompt(QWidget* parent) : parent_(parent) {}

    std::string openFileName(const std::string& filter) override;
    std::string saveFileName(const std::string& filter, const std::string& proposedName) override;
    void message(const std::string& caption, const std::string& text) override;
    bool confirm(const std::string& caption, const std::string& text) override;
    std::string chooseDirectory(const std::string& caption) override;

    // "EDID (*.bin)|*.bin" as a Qt file dialog filter: "EDID (*.bin)".
    static QString QtFilter(const std::string& filter);

private:
    QWidget* parent_;
};

} // namespace lvx
