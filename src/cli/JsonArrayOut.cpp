#include "cli/JsonArrayOut.h"

#include <QByteArray>
#include <QJsonDocument>

#include <cstdio>

namespace lvx::cli {

JsonArrayOut::JsonArrayOut(bool enabled) : enabled_(enabled) {
    if (enabled_) {
        std::fputs("[", stdout);
    }
}

void JsonArrayOut::add(const QJsonObject& object) {
    std::fputs(count_ == 0 ? "\n" : ",\n", stdout);
    ++count_;
    const QByteArray json = QJsonDocument(object).toJson(QJsonDocument::Compact);
    std::fwrite(json.constData(), 1, static_cast<std::size_t>(json.size()), stdout);
}

void JsonArrayOut::close() {
    if (enabled_) {
        std::fputs(count_ == 0 ? "]\n" : "\n]\n", stdout);
    }
    std::fflush(stdout);
}

} // namespace lvx::cli
