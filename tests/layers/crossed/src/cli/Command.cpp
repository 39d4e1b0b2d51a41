#include "app/MainWindow.h"
#include <QtWidgets/QApplication>
