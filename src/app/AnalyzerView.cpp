#include "app/AnalyzerView.h"

#include "app/DevicePresenter.h"
#include "app/Pictures.h"
#include "app/Widgets.h"
#include "edid/AnalyzerReport.h"

#include <QFontMetrics>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

namespace lvx {

namespace {

constexpr int kCopyButtonSize = 40;
// The widest first line the audio formats row can get before its break.
constexpr const char* kWidestValue = "2PCM,MPCM,DolbyD+,DolbyHD,DTS,DTSHD,";

// The given font, made smaller until the widest value fits the room right of the captions
// (desktop fonts run wider than the small font the window's layout was drawn for).
QFont FittingFont(QFont font) {
    while (font.pointSizeF() > 6.0 && QFontMetrics(font).horizontalAdvance(QString::fromLatin1(
                                          kWidestValue)) > AnalyzerView::kValueWidth) {
        font.setPointSizeF(font.pointSizeF() - 0.5);
    }
    return font;
}

QString Latin1(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

AnalyzerView::AnalyzerView(QWidget* parent)
    : QGroupBox(QStringLiteral("EDID Information"), parent) {
    setObjectName(QStringLiteral("GroupBox5"));
    auto* rows = new QVBoxLayout(this);
    rows->setContentsMargins(3, 8, 3, 6);
    rows->setSpacing(0);
    const QFont rowFont = FittingFont(font());

    for (const AnalyzerRow& row : AnalyzerRows()) {
        auto* panel = new QFrame(this);
        panel->setFixedHeight(kAnalyzerRowHeight);
        auto* line = new QHBoxLayout(panel);
        line->setContentsMargins(0, 0, 0, 0);
        line->setSpacing(0);
        auto* caption = new QLabel(Latin1(row.caption), panel);
        caption->setTextFormat(Qt::PlainText);
        caption->setFixedWidth(kValueLeft);
        caption->setFont(rowFont);
        auto* value = Named(new QLabel(QStringLiteral("-"), panel), Latin1(row.label));
        value->setTextFormat(Qt::PlainText);
        value->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        value->setFont(rowFont);
        // A long value must not widen the row past the window.
        value->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        line->addWidget(caption);
        line->addWidget(value, 1);
        rows->addWidget(panel);
        values_.push_back(value);
        if (row.label == "Label_Audio_Formats") {
            audioPanel_ = Named(panel, QStringLiteral("Panel10"));
        }
    }

    copyButton_ = MakeSpeedButton(this, QStringLiteral("SpeedButton_OpenEdid_Analysis"),
                                  tr("Copy to EDID Creator"), 0, 0, kCopyButtonSize);
    copyButton_->setFixedSize(kCopyButtonSize, kCopyButtonSize);
    SetPicture(copyButton_, QStringLiteral("ModifyGray"));
    rows->addSpacing(10);
    rows->addWidget(copyButton_, 0, Qt::AlignHCenter);
    rows->addStretch(1);

    connect(copyButton_, &QToolButton::clicked, this, &AnalyzerView::copyRequested);
}

QLabel* AnalyzerView::valueLabel(const QString& name) const {
    for (QLabel* label : values_) {
        if (label->objectName() == name) {
            return label;
        }
    }
    return nullptr;
}

void AnalyzerView::show(const AnalyzerReport& report) {
    const auto& rows = AnalyzerRows();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        values_[i]->setText(Latin1(report.text(rows[i].label)));
    }
    if (const std::optional<int> height = AudioRowHeight(report)) {
        audioPanel_->setFixedHeight(*height);
    }
    SetPicture(copyButton_, CopyButtonPicture(report));
}

} // namespace lvx
