#pragma once

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QString>
#include <QToolButton>
#include <QWidget>

namespace lvx {

// Small builders for controls placed at fixed positions, each named as the system names it.
template <typename T>
T* Named(T* widget, const QString& name) {
    widget->setObjectName(name);
    return widget;
}

inline QGroupBox* MakeGroup(QWidget* parent, const QString& name, const QString& caption) {
    return Named(new QGroupBox(caption, parent), name);
}

inline QLabel* MakeLabel(QWidget* parent, const QString& name, const QString& text, int x, int y,
                         int w = 0, int h = 0) {
    auto* label = Named(new QLabel(text, parent), name);
    label->move(x, y);
    if (w > 0) {
        label->resize(w, h > 0 ? h : label->sizeHint().height());
    }
    return label;
}

// A flat picture button with a hint, like the speed buttons of the tool bars.
inline QToolButton* MakeSpeedButton(QWidget* parent, const QString& name, const QString& hint,
                                    int x, int y, int size = 32) {
    auto* button = Named(new QToolButton(parent), name);
    button->setToolTip(hint);
    // A picture says nothing to a screen reader: the hint is its name.
    button->setAccessibleName(hint);
    button->setAutoRaise(true);
    button->setIconSize(QSize(size - 8, size - 8));
    button->setGeometry(x, y, size, size);
    return button;
}

inline QComboBox* MakeList(QWidget* parent, const QString& name, int x, int y, int w) {
    auto* box = Named(new QComboBox(parent), name);
    box->setGeometry(x, y, w, box->sizeHint().height());
    return box;
}

template <typename T>
T* Find(const QObject* root, const QString& name) {
    return root ? root->findChild<T*>(name) : nullptr;
}

} // namespace lvx
