#pragma once

#include <QWidget>

namespace lvx {

// "IP Configure": the network settings of the selected network device.
class IpConfigTab : public QWidget {
    Q_OBJECT
public:
    explicit IpConfigTab(QWidget* parent = nullptr);
};

} // namespace lvx
