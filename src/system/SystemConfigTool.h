#pragma once

#include "common/Prompt.h"
#include "connection/FlowTool.h"

#include <QString>

#include <string>

namespace lvx {

class ConnectionController;

// The "Configuration" group without its widgets: the product string's length check, Write
// Configuration over either link, and Factory Default over the COM port. Their statuses are
// the texts of the group's label (Label9).
class SystemConfigTool : public FlowTool {
    Q_OBJECT
public:
    enum class Outcome { Nothing, Unchanged, Cancelled, Done, NoAnswer };

    // How long Factory Default waits for the device's description after asking for it.
    static constexpr int kDescriptionWaitMs = 1500;

    explicit SystemConfigTool(ConnectionController& connection, QObject* parent = nullptr);

    // Every change of the edit: "63 Letters Limited!" (a warning) from the 64th character
    // on, an empty status otherwise.
    void checkLength(const std::string& text);

    // Write Configuration: stores the first 63 characters as the selected device's product
    // string, sends them (SYS_STR, or the network command), waits a second and shows the
    // new text in the device list; "Ok." is its status while it runs. "No Changed." when the
    // text is the stored one. Over the COM port the device must answer SYS_STR: otherwise
    // (or when the link is lost) the record keeps its text, the status is "Write Fail." and
    // the outcome is NoAnswer.
    Outcome writeConfiguration(const std::string& text);
    // Factory Default (COM port): after the user's OK, SYS_DEF, then the description read
    // again; the product string is shown once its answer came. NoAnswer (status "Default
    // Fail.") when SYS_DEF or the description was not answered, or the link was lost.
    Outcome factoryDefault(Prompt& prompt);

    // Why the last flow ended with NoAnswer, for the command line.
    QString lastError() const { return lastError_; }

signals:
    // Edit_Product_String is to show this text (after Factory Default).
    void productStringShown(const QString& text);

private:
    bool ready() const;

    // Ends a flow whose device did not answer: the reason, and the text in red.
    Outcome noAnswer(const QString& label, const QString& why);

    ConnectionController& connection_;
    QString lastError_;
};

} // namespace lvx
