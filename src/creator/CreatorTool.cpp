#include "creator/CreatorTool.h"

#include "connection/ConnectionController.h"
#include "creator/CreatorModel.h"
#include "edid/EdidFileIO.h"
#include "edid/EdidTransfer.h"

#include <optional>

namespace lvx {

CreatorTool::CreatorTool(ConnectionController& connection, EdidTransfer& transfer,
                         CreatorModel& model, QObject* parent)
    : QObject(parent), connection_(connection), transfer_(transfer), model_(model) {}

bool CreatorTool::serialDevice() const {
    return connection_.connected() && connection_.devices().count > 0 && transfer_.serial();
}

CreatorTool::Outcome CreatorTool::openEdid(Prompt& prompt) {
    const bool bracket = serialDevice();
    if (bracket && connection_.busy()) {
        return Outcome::Nothing;
    }
    lastError_.clear();
    std::optional<FlowGuard> flow;
    ProtocolSession& session = connection_.session();
    if (bracket) {
        flow.emplace(connection_);
        session.beginTransfer();
    }

    Outcome outcome = Outcome::Cancelled;
    const std::string chosen = prompt.openFileName(kFilter);
    if (!chosen.empty()) {
        const QString path = QString::fromStdString(chosen);
        const std::optional<EdidImage> image = ReadEdidFile(path);
        if (!image) {
            connection_.log().setText("Edid Open Fail.\r\n");
            lastError_ = QStringLiteral("cannot open %1").arg(path);
            outcome = Outcome::Failed;
        } else {
            connection_.log().setText("Edid Open OK.\r\n");
            model_.openImage(*image);
            outcome = Outcome::Done;
        }
    }

    if (bracket) {
        session.endTransfer();
    }
    return outcome;
}

} // namespace lvx
